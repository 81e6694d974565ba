#pragma once

#include <sys/types.h>

#include <filesystem>

#include "platform/unique_fd.h"

namespace zen {

// A listening Unix stream socket at `path` (non-blocking, close-on-exec) that every account
// may connect to. Whatever stands at the name is replaced (a dead run's socket, or one that
// another account bound or planted there), unless a running process of this same account
// listens on it: another instance.
UniqueFd ListenUnix(const std::filesystem::path& path, int backlog);

// Whether a process of account `uid` listens on the socket at `path`, as the kernel tells.
bool ListenerIsUser(const std::filesystem::path& path, uid_t uid);

// Connects to the socket at `path`; no descriptor when nobody listens there.
UniqueFd ConnectUnix(const std::filesystem::path& path);

// Takes the next waiting connection of a listener; no descriptor when none waits.
UniqueFd AcceptOne(int listener);

}  // namespace zen
