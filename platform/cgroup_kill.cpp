#include "platform/cgroup_kill.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <poll.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <string_view>

#include "platform/root.h"
#include "platform/unique_fd.h"

namespace zen {
namespace {

namespace fs = std::filesystem;

bool IsCgroup2Directory(const fs::path& directory) {
    struct statfs info {};
    return ::statfs(directory.c_str(), &info) == 0 &&
           static_cast<unsigned long>(info.f_type) == CGROUP2_SUPER_MAGIC;
}

}  // namespace

// The first cgroup2 mount: systemd keeps the user slices there on a hybrid system too.
std::optional<fs::path> Cgroup2Mount() {
    std::ifstream mounts("/proc/self/mountinfo");
    std::string line;
    while (std::getline(mounts, line)) {
        // ID PARENT MAJ:MIN ROOT MOUNT-POINT OPTIONS [OPTIONAL...] - TYPE SOURCE SUPER-OPTIONS
        const std::size_t separator = line.find(" - ");
        if (separator == std::string::npos || line.compare(separator + 3, 8, "cgroup2 ") != 0) {
            continue;
        }
        std::size_t field = 0;
        for (int skip = 0; skip < 4 && field != std::string::npos; ++skip) {
            field = line.find(' ', field + 1);
        }
        if (field == std::string::npos) {
            continue;
        }
        const std::size_t end = line.find(' ', field + 1);
        const fs::path point = line.substr(field + 1, end - field - 1);
        if (point.is_absolute() && IsCgroup2Directory(point)) {
            return point;
        }
    }
    return std::nullopt;
}

namespace {

// The directory that holds the user-UID.slice directories.
std::optional<fs::path> UserSliceParent() {
    const std::optional<fs::path> mount = Cgroup2Mount();
    if (!mount) {
        return std::nullopt;
    }
    if (Env().onMachine) {
        return *mount / "user.slice";
    }
    std::ifstream named(paths::UserSliceFile());
    std::string line;
    if (!std::getline(named, line)) {
        return std::nullopt;
    }
    std::error_code error;
    const fs::path standIn = fs::canonical(line, error);
    // A test's stand-in is a cgroup of its own below the mount: never the mount itself nor
    // the machine's user slices.
    const fs::path below = standIn.lexically_relative(*mount);
    if (error || below.empty() || *below.begin() == ".." || below == "." ||
        *below.begin() == "user.slice" || !IsCgroup2Directory(standIn)) {
        return std::nullopt;
    }
    return standIn;
}

bool CgroupEmpty(int events) {
    char text[256];
    const ssize_t got = ::pread(events, text, sizeof text - 1, 0);
    if (got <= 0) {
        return false;
    }
    text[got] = '\0';
    return std::string_view(text, static_cast<std::size_t>(got)).find("populated 0") !=
           std::string_view::npos;
}

}  // namespace

std::optional<fs::path> UserSliceCgroup(uid_t uid) {
    const std::optional<fs::path> parent = UserSliceParent();
    if (!parent) {
        return std::nullopt;
    }
    fs::path slice = *parent / ("user-" + std::to_string(uid) + ".slice");
    std::error_code error;
    if (!fs::is_directory(fs::symlink_status(slice, error))) {
        return std::nullopt;
    }
    return slice;
}

bool KillCgroup(const fs::path& cgroup, std::chrono::milliseconds limit) {
    const UniqueFd kill(
        ::open((cgroup / "cgroup.kill").c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW));
    const UniqueFd events(
        ::open((cgroup / "cgroup.events").c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!kill || !events || ::write(kill.get(), "1", 1) != 1) {
        return false;
    }
    // The kernel flags cgroup.events (POLLPRI) when "populated" changes.
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!CgroupEmpty(events.get())) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd entry{events.get(), POLLPRI, 0};
        ::poll(&entry, 1, static_cast<int>(std::min<long>(left.count(), 100)));
    }
    return true;
}

}  // namespace zen
