#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>

namespace zen {

// The machine's cgroup v2 mount (/sys/fs/cgroup, or /sys/fs/cgroup/unified on a hybrid
// system); nothing without one.
std::optional<std::filesystem::path> Cgroup2Mount();

// The cgroup v2 directory of an account's user slice, where systemd keeps its sessions, its
// user manager and whatever they started: user.slice/user-UID.slice of the cgroup v2 mount.
// Under a root other than "/", the directory named in run/zentimo/user-slice (a cgroup the
// test made) stands in for user.slice, so that nothing of the machine's own is reached.
// Nothing when there is no cgroup v2, no stand-in, or the account has no slice now.
std::optional<std::filesystem::path> UserSliceCgroup(uid_t uid);

// Ends every process of the cgroup and its descendants at once with the kernel's cgroup.kill,
// which no fork can outrun, and waits up to `limit` until the cgroup is empty. False when the
// kernel has no cgroup.kill or the cgroup is not empty in time.
bool KillCgroup(const std::filesystem::path& cgroup, std::chrono::milliseconds limit);

}  // namespace zen
