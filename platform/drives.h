#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system_actions.h"

namespace zen {

// The drive types the system controls, numbered as the drive categories store them.
inline constexpr uint32_t kDriveRemovable = 2;
inline constexpr uint32_t kDriveCdrom = 5;

// The type of a block device by its device numbers, from sysfs below the root: kDriveCdrom for
// an optical drive (SCSI type 5, the sr driver), kDriveRemovable for a disk that reports
// removable media or hangs off a hot-pluggable bus (USB, an SD card, FireWire, Thunderbolt or
// any port the kernel calls removable), 0 for anything else.
uint32_t BlockDriveType(unsigned major, unsigned minor);

// The mounted file systems of drives of `type`, in mount order, as this thread's mount
// namespace shows them. Under a root other than "/" only mounts below the root count. A device
// that also holds one of the system's own trees ("/", /boot, /usr, /var, /home) never counts:
// hiding it would take the running system away.
std::vector<DriveMount> MountedDrives(uint32_t type);

// Whether a remembered drive may be mounted again as it is described. The description comes
// from a file every account can write, so only a device that is a drive of `type` now is
// mounted, and only at a point below the media directories (media, run/media, mnt) where a
// desktop or an administrator puts drives; never over the system or into someone's home.
bool MayMountAgain(const DriveMount& drive, uint32_t type);

// The escapes mountinfo uses inside its fields (\040 for a blank, \011, \012, \134), applied to
// every blank, control byte and backslash, so that an escaped path is one word.
std::string EscapeMountField(std::string_view text);
std::string UnescapeMountField(std::string_view text);

}  // namespace zen
