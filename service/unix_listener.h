#pragma once

#include <filesystem>

#include "platform/unique_fd.h"

namespace zen {

// A listening Unix stream socket at `path` (non-blocking, close-on-exec) that every account
// may connect to. A socket left by an earlier run is replaced; one that a running process
// still listens on, or anything that is not a socket, is not.
UniqueFd ListenUnix(const std::filesystem::path& path, int backlog);

// Connects to the socket at `path`; no descriptor when nobody listens there.
UniqueFd ConnectUnix(const std::filesystem::path& path);

// Takes the next waiting connection of a listener; no descriptor when none waits.
UniqueFd AcceptOne(int listener);

}  // namespace zen
