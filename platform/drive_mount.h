#pragma once

#include "platform/system_actions.h"

namespace zen {

// Unmounting and mounting a drive for real. Under a root other than "/" a mount point outside
// the root is refused, so a test can never touch the machine's own drives.
bool UnmountDrive(const DriveMount& drive);
bool MountDrive(const DriveMount& drive);

}  // namespace zen
