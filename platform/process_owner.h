#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace zen {

// The login name of the account that runs a process (its real uid, read from /proc), or
// nothing when the process is gone or the uid has no name.
std::optional<std::string> ProcessOwner(pid_t pid);

}  // namespace zen
