#pragma once

#include <sys/types.h>

#include <chrono>

namespace zen {

// Ends every process whose real uid is `uid`: SIGTERM to all of them, a wait of up to `grace`
// for them to go, then SIGKILL to what is left (again for processes forked meanwhile). Each
// process is held by a pidfd before it is signalled, so a pid reused meanwhile is never hit.
// True when none of the user's processes is left.
bool EndUserProcesses(uid_t uid, std::chrono::milliseconds grace);

}  // namespace zen
