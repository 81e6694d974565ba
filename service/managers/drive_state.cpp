#include "service/managers/drive_state.h"

#include <sstream>

#include "platform/drives.h"
#include "platform/text.h"

namespace zen {
namespace {

constexpr std::string_view kNoOptions = "-";

bool Remembered(const DriveState& state, const std::string& point) {
    for (const auto& [device, drive] : state.hidden) {
        if (drive.mount.mountPoint == point) {
            return true;
        }
    }
    return false;
}

std::u16string DriveText(const HiddenDrive& drive, bool withOptions) {
    const DriveMount& mount = drive.mount;
    const std::string options = withOptions && !mount.options.empty()
                                    ? EscapeMountField(mount.options)
                                    : std::string(kNoOptions);
    return Utf8ToUtf16(EscapeMountField(mount.device) + "\n" + EscapeMountField(mount.mountPoint) +
                       "\n" + std::to_string(drive.type) + "\n" + EscapeMountField(mount.fsType) +
                       "\n" + options + "\n");
}

}  // namespace

std::string FreeMountPoint(const DriveState& state, const std::string& point) {
    if (!Remembered(state, point)) {
        return point;
    }
    for (int sibling = 2;; ++sibling) {
        std::string candidate = point + "-" + std::to_string(sibling);
        if (!Remembered(state, candidate)) {
            return candidate;
        }
    }
}

DriveStateText FormatDriveState(const DriveState& state, std::size_t maxUnits) {
    DriveStateText result;
    result.text = Utf8ToUtf16(std::to_string(state.cdromBlocked) + "\n" +
                              std::to_string(state.removableBlocked) + "\n");
    for (const auto& [device, drive] : state.hidden) {
        for (const bool withOptions : {true, false}) {
            const std::u16string entry = DriveText(drive, withOptions);
            if (result.text.size() + entry.size() <= maxUnits) {
                result.text += entry;
                break;
            }
            result.complete = false;
        }
    }
    return result;
}

DriveState ParseDriveState(std::u16string_view text) {
    DriveState state;
    std::istringstream words(Utf16ToUtf8(text));
    if (!(words >> state.cdromBlocked >> state.removableBlocked)) {
        return {};
    }
    std::string device, point, fsType, options;
    uint32_t type = 0;
    while (words >> device >> point >> type >> fsType >> options) {
        HiddenDrive drive{
            {UnescapeMountField(device), UnescapeMountField(point), UnescapeMountField(fsType),
             options == kNoOptions ? std::string() : UnescapeMountField(options)},
            type};
        state.hidden.insert_or_assign(drive.mount.device, std::move(drive));
    }
    return state;
}

}  // namespace zen
