#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace zen {

// The real uid of a process, read from /proc (a set-uid program started by a child still
// counts as the child's); nothing when it is gone or has ended and waits to be reaped.
std::optional<uid_t> ProcessRealUid(pid_t pid);

// The login name of the account that runs a process (its real uid), or nothing when the
// process is gone or the uid has no name.
std::optional<std::string> ProcessOwner(pid_t pid);

}  // namespace zen
