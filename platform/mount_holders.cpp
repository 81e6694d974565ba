#include "platform/mount_holders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <charconv>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string_view>

#include "platform/process_owner.h"
#include "platform/processes.h"
#include "platform/unique_fd.h"

namespace zen {
namespace {

struct DirClose {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

std::unique_ptr<DIR, DirClose> OpenDirectoryAt(int procDir, const std::string& name) {
    const int fd = ::openat(procDir, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return std::unique_ptr<DIR, DirClose>(fd >= 0 ? ::fdopendir(fd) : nullptr);
}

// Whether the file a /proc link names lies on the device; stat follows the link without
// opening anything.
bool LinkOnDevice(int procDir, const std::string& link, dev_t device) {
    struct stat status {};
    return ::fstatat(procDir, link.c_str(), &status, 0) == 0 && status.st_dev == device;
}

bool OpenFileOnDevice(int procDir, const std::string& pid, dev_t device) {
    const auto fds = OpenDirectoryAt(procDir, pid + "/fd");
    if (!fds) {
        return false;
    }
    while (const dirent* entry = ::readdir(fds.get())) {
        if (entry->d_name[0] != '.' &&
            LinkOnDevice(procDir, pid + "/fd/" + entry->d_name, device)) {
            return true;
        }
    }
    return false;
}

// A line of /proc/PID/maps: "ADDRESS PERMS OFFSET MAJOR:MINOR INODE PATH", numbers in hex.
bool MappedFileOnDevice(const std::string& pid, dev_t device) {
    std::ifstream maps("/proc/" + pid + "/maps");
    std::string line;
    while (std::getline(maps, line)) {
        std::size_t at = 0;
        for (int field = 0; field < 3 && at != std::string::npos; ++field) {
            at = line.find(' ', at);
            at = at == std::string::npos ? at : at + 1;
        }
        if (at == std::string::npos) {
            continue;
        }
        const std::string_view numbers(line.data() + at, line.size() - at);
        unsigned int major = 0;
        unsigned int minor = 0;
        const auto first =
            std::from_chars(numbers.data(), numbers.data() + numbers.size(), major, 16);
        if (first.ec != std::errc() || first.ptr == numbers.data() + numbers.size() ||
            *first.ptr != ':') {
            continue;
        }
        if (std::from_chars(first.ptr + 1, numbers.data() + numbers.size(), minor, 16).ec ==
                std::errc() &&
            (major != 0 || minor != 0) && ::makedev(major, minor) == device) {
            return true;
        }
    }
    return false;
}

std::string ProgramName(int procDir, pid_t pid) {
    const std::optional<std::string> path = ExecutablePath(procDir, pid);
    if (!path) {
        return "?";
    }
    const std::size_t slash = path->rfind('/');
    return slash == std::string::npos ? *path : path->substr(slash + 1);
}

}  // namespace

std::vector<MountHolder> MountHolders(dev_t device) {
    std::vector<MountHolder> holders;
    const UniqueFd proc = OpenProcDirectory();
    const auto listing = OpenDirectoryAt(proc.get(), ".");
    if (!listing) {
        return holders;
    }
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(listing.get())) {
        const std::string_view name(entry->d_name);
        pid_t pid = 0;
        if (std::from_chars(name.data(), name.data() + name.size(), pid).ptr !=
                name.data() + name.size() ||
            pid <= 0 || pid == self) {
            continue;
        }
        const std::string id(name);
        const std::optional<uid_t> uid = ProcessRealUid(pid);
        if (!uid) {
            continue;
        }
        if (LinkOnDevice(proc.get(), id + "/cwd", device) ||
            LinkOnDevice(proc.get(), id + "/root", device) ||
            OpenFileOnDevice(proc.get(), id, device) || MappedFileOnDevice(id, device)) {
            holders.push_back({pid, *uid, ProgramName(proc.get(), pid)});
        }
    }
    return holders;
}

}  // namespace zen
