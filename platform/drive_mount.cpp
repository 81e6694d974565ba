#include "platform/drive_mount.h"

#include <sys/mount.h>
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <filesystem>
#include <string_view>
#include <utility>

#include "platform/root.h"

namespace zen {
namespace {
namespace fs = std::filesystem;

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

bool BelowRoot(const std::string& path) {
    if (RootIsSystem()) {
        return true;
    }
    const fs::path point = fs::path(path).lexically_normal();
    const fs::path relative = point.lexically_relative(Root().lexically_normal());
    return point.is_absolute() && !relative.empty() && *relative.begin() != ".." && relative != ".";
}

bool UnmountDrive(const DriveMount& drive) {
    if (!BelowRoot(drive.mountPoint)) {
        errno = EPERM;
        return false;
    }
    return ::umount2(drive.mountPoint.c_str(), MNT_DETACH | UMOUNT_NOFOLLOW) == 0;
}

bool MountDrive(const DriveMount& drive) {
    if (!BelowRoot(drive.mountPoint)) {
        errno = EPERM;
        return false;
    }
    // The desktop removes the points it made when a drive goes; put it back.
    std::error_code error;
    fs::create_directories(drive.mountPoint, error);
    const SplitOptions split = Split(drive.options);
    const auto mountWith = [&](const char* data) {
        return ::mount(drive.device.c_str(), drive.mountPoint.c_str(), drive.fsType.c_str(),
                       split.flags, data) == 0;
    };
    if (split.data.empty()) {
        return mountWith(nullptr);
    }
    // mountinfo lists some words a file system does not take back (a security label, say): a
    // drive that would otherwise stay hidden is mounted with its flags alone.
    return mountWith(split.data.c_str()) || (errno == EINVAL && mountWith(nullptr));
}

}  // namespace zen
