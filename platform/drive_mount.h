#pragma once

#include <filesystem>
#include <string>

#include "platform/system_actions.h"

namespace zen {

// Whether `path` lies strictly below `directory`, by their spelling (lexically).
bool PathBelow(const std::filesystem::path& path, const std::filesystem::path& directory);

// Whether a mount point may be seen and touched: every point under "/", only points strictly
// below the root under any other root.
bool BelowRoot(const std::string& path);

// Unmounting (never lazily) and mounting a drive for real. Under a root other than "/" a mount
// point outside the root is refused, so a test can never touch the machine's own drives.
bool UnmountDrive(const DriveMount& drive);
bool MountDrive(const DriveMount& drive);

}  // namespace zen
