#include "platform/drive_mount.h"

#include <sys/mount.h>
#include <sys/stat.h>

#include <array>
#include <filesystem>
#include <string_view>
#include <utility>

#include "platform/root.h"

namespace zen {
namespace {
namespace fs = std::filesystem;

bool InsideRoot(const std::string& mountPoint) {
    if (RootIsSystem()) {
        return true;
    }
    const fs::path point = fs::path(mountPoint).lexically_normal();
    const fs::path root = Root().lexically_normal();
    const auto relative = point.lexically_relative(root);
    return point.is_absolute() && !relative.empty() && *relative.begin() != "..";
}

// The mount options that mount(2) takes as flags; every other word is the file system's own.
constexpr std::array<std::pair<std::string_view, unsigned long>, 10> kFlagWords{{
    {"ro", MS_RDONLY},
    {"nosuid", MS_NOSUID},
    {"nodev", MS_NODEV},
    {"noexec", MS_NOEXEC},
    {"sync", MS_SYNCHRONOUS},
    {"dirsync", MS_DIRSYNC},
    {"noatime", MS_NOATIME},
    {"nodiratime", MS_NODIRATIME},
    {"relatime", MS_RELATIME},
    {"strictatime", MS_STRICTATIME},
}};

struct SplitOptions {
    unsigned long flags = 0;
    std::string data;
};

SplitOptions Split(std::string_view options) {
    SplitOptions split;
    while (!options.empty()) {
        const auto comma = options.find(',');
        const std::string_view word = options.substr(0, comma);
        options = comma == std::string_view::npos ? std::string_view{} : options.substr(comma + 1);
        if (word.empty() || word == "rw") {
            continue;
        }
        bool isFlag = false;
        for (const auto& [name, flag] : kFlagWords) {
            if (word == name) {
                split.flags |= flag;
                isFlag = true;
            }
        }
        if (!isFlag) {
            if (!split.data.empty()) {
                split.data += ',';
            }
            split.data += word;
        }
    }
    return split;
}

}  // namespace

bool UnmountDrive(const DriveMount& drive) {
    return InsideRoot(drive.mountPoint) &&
           ::umount2(drive.mountPoint.c_str(), MNT_DETACH | UMOUNT_NOFOLLOW) == 0;
}

bool MountDrive(const DriveMount& drive) {
    if (!InsideRoot(drive.mountPoint)) {
        return false;
    }
    // The desktop removes the points it made when a drive goes; put it back.
    std::error_code error;
    fs::create_directories(drive.mountPoint, error);
    const SplitOptions split = Split(drive.options);
    return ::mount(drive.device.c_str(), drive.mountPoint.c_str(), drive.fsType.c_str(),
                   split.flags, split.data.empty() ? nullptr : split.data.c_str()) == 0;
}

}  // namespace zen
