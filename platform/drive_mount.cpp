#include "platform/drive_mount.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <filesystem>
#include <string_view>
#include <utility>

#include "platform/root.h"
#include "platform/unique_fd.h"

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

// The directory at an absolute path, opened one component at a time without following any
// symbolic link, so that whoever owns a directory on the way cannot send a mount or an unmount
// elsewhere (a point swapped for a link to /etc). Missing directories are made when `create`.
UniqueFd OpenMountPoint(const std::string& path, bool create) {
    const fs::path point(path);
    if (!BelowRoot(path) || !point.is_absolute()) {
        errno = EPERM;
        return {};
    }
    UniqueFd directory(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    for (const fs::path& component : point.relative_path()) {
        if (component.empty() || component == "." || component == "..") {
            errno = EINVAL;
            return {};
        }
        constexpr int kFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        UniqueFd next(::openat(directory.get(), component.c_str(), kFlags));
        if (!next && errno == ENOENT && create &&
            (::mkdirat(directory.get(), component.c_str(), 0755) == 0 || errno == EEXIST)) {
            next = UniqueFd(::openat(directory.get(), component.c_str(), kFlags));
        }
        if (!next) {
            return {};
        }
        directory = std::move(next);
    }
    return directory;
}

// The opened directory as a path the mount calls take.
std::string FdPath(const UniqueFd& fd) {
    return "/proc/self/fd/" + std::to_string(fd.get());
}

}  // namespace

bool PathBelow(const fs::path& path, const fs::path& directory) {
    const fs::path normal = path.lexically_normal();
    const fs::path relative = normal.lexically_relative(directory.lexically_normal());
    return normal.is_absolute() && !relative.empty() && *relative.begin() != ".." &&
           relative != ".";
}

bool BelowRoot(const std::string& path) {
    const fs::path& scope = Env().mountScope;
    return scope == fs::path("/") || PathBelow(path, scope);
}

bool UnmountDrive(const DriveMount& drive) {
    // Never lazily: a detached mount stays usable through every directory and file a process
    // still holds on it. A busy drive fails with EBUSY and stays mounted. An open descriptor of
    // the point itself would keep it busy, so the parent is the one opened without following
    // links, and the point's own name is not followed either.
    const fs::path point = fs::path(drive.mountPoint).lexically_normal();
    const UniqueFd parent = OpenMountPoint(point.parent_path().string(), false);
    const std::string name = point.filename().string();
    if (!parent || name.empty() || name == "." || name == "..") {
        return false;
    }
    return ::umount2((FdPath(parent) + "/" + name).c_str(), UMOUNT_NOFOLLOW) == 0;
}

bool MountDrive(const DriveMount& drive) {
    // The desktop removes the points it made when a drive goes; put it back.
    const UniqueFd point = OpenMountPoint(drive.mountPoint, true);
    if (!point) {
        return false;
    }
    const SplitOptions split = Split(drive.options);
    // A medium anyone can carry in never brings set-user-ID programs or device nodes with it,
    // whatever the remembered options say.
    const unsigned long flags = split.flags | MS_NOSUID | MS_NODEV;
    const auto mountWith = [&](const char* data) {
        return ::mount(drive.device.c_str(), FdPath(point).c_str(), drive.fsType.c_str(), flags,
                       data) == 0;
    };
    if (split.data.empty()) {
        return mountWith(nullptr);
    }
    // mountinfo lists some words a file system does not take back (a security label, say): a
    // drive that would otherwise stay hidden is mounted with its flags alone.
    return mountWith(split.data.c_str()) || (errno == EINVAL && mountWith(nullptr));
}

}  // namespace zen
