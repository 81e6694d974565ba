#pragma once

#include <sys/types.h>

#include <filesystem>

namespace zen {

// The access a device node's POSIX ACL gives one user by name (udev's "uaccess" adds such an
// entry for the user at the console). Set in the system.posix_acl_access attribute directly,
// as setfacl would, keeping every other entry.

// Removes the user's own entry; true when there is none afterwards.
bool RemoveUserAccess(const std::filesystem::path& node, uid_t uid);
// Gives the user read and write access by an entry of their own, and widens the mask to let
// it through; true on success.
bool GrantUserAccess(const std::filesystem::path& node, uid_t uid);
// Whether the ACL holds an entry for the user.
bool HasUserAccess(const std::filesystem::path& node, uid_t uid);

}  // namespace zen
