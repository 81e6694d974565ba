#pragma once

#include <sys/types.h>

#include <chrono>

namespace zen {

// Ends every process of a person's account: SIGTERM to all of them, a wait of up to `grace`
// for them to go, then rounds of SIGKILL until none is left. Each signal reaches every process
// the account may signal itself (real or saved uid `uid`) in one kill(-1) the kernel makes
// safe against forks, so a fork-and-exit chain cannot outrun it. The rounds are bounded; true
// only when no process of the uid is left. Root's and system accounts' uids are refused.
bool EndUserProcesses(uid_t uid, std::chrono::milliseconds grace);

// Whether any running process has `uid` as its real uid (ended ones waiting to be reaped do
// not count).
bool AnyProcessOf(uid_t uid);

}  // namespace zen
