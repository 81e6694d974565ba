#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <tuple>

#include "platform/system_actions.h"

namespace zen {

// A drive this service hid: how to mount it again, and its type (kDriveCdrom, kDriveRemovable).
struct HiddenDrive {
    DriveMount mount;
    uint32_t type = 0;

    bool operator==(const HiddenDrive& other) const {
        const auto fields = [](const HiddenDrive& d) {
            return std::tie(d.mount.device, d.mount.mountPoint, d.mount.fsType, d.mount.options,
                            d.type);
        };
        return fields(*this) == fields(other);
    }
};

// What the drives manager keeps across restarts: a flag per category and the hidden drives by
// device path.
struct DriveState {
    uint32_t cdromBlocked = 0;
    uint32_t removableBlocked = 0;
    std::map<std::string, HiddenDrive> hidden;

    bool operator==(const DriveState&) const = default;
};

// The point to remember for a drive hidden at `point`: the point itself, unless another hidden
// drive is already remembered there (the point was given to another device while that one was
// hidden); then the lowest free sibling "<point>-2", "<point>-3", ...
std::string FreeMountPoint(const DriveState& state, const std::string& point);

// DriveStateText: the two flags, then per hidden drive in ascending device order its device,
// mount point, type, file-system type and mount options ("-" for none), each item followed by
// a line feed. Paths and words carry mountinfo's escapes, so every item is one word.
struct DriveStateText {
    std::u16string text;
    bool complete = true;  // false when drives had to be shortened or left out to fit
};

// The text in at most `maxUnits` code units. What does not fit is never cut in the middle: a
// drive is stored without its mount options first (restored with the file system's defaults),
// and left out only when even that does not fit.
DriveStateText FormatDriveState(const DriveState& state, std::size_t maxUnits);

// Reads the text back; reading stops at the first incomplete or malformed drive.
DriveState ParseDriveState(std::u16string_view text);

}  // namespace zen
