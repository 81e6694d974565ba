#include "service/setup_program_files.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <set>

#include "common/db/error_log.h"
#include "platform/unique_fd.h"

namespace zen {
namespace {

std::optional<std::string> OwnershipFault(const struct stat& status) {
    if (status.st_uid != 0) {
        return "is not owned by root";
    }
    if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return "is writable by accounts other than root";
    }
    return std::nullopt;
}

// Why the file may not be trusted; nothing when it is root's alone or missing.
std::optional<std::string> FileFault(const std::filesystem::path& path) {
    // Opened without following a link, so the file itself is judged.
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat status {};
    if (!fd) {
        return errno == ENOENT ? std::nullopt : std::optional<std::string>("cannot be examined");
    }
    if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return "is not a regular file";
    }
    return OwnershipFault(status);
}

}  // namespace

std::vector<std::string> ProgramFileFaults(const std::vector<std::filesystem::path>& files) {
    std::vector<std::string> faults;
    const auto add = [&](const std::filesystem::path& path, const std::string& fault) {
        faults.push_back(path.string() + " " + fault);
        LogError("SecureProgramFolder(): %s", faults.back().c_str());
    };
    std::set<std::filesystem::path> folders;
    for (const std::filesystem::path& path : files) {
        if (const std::optional<std::string> fault = FileFault(path)) {
            add(path, *fault);
        }
        folders.insert(path.parent_path());
    }
    for (const std::filesystem::path& folder : folders) {
        struct stat status {};
        if (::stat(folder.c_str(), &status) == 0) {
            if (const std::optional<std::string> fault = OwnershipFault(status)) {
                add(folder, *fault);
            }
        }
    }
    return faults;
}

}  // namespace zen
