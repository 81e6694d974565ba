#include "service/setup_program_files.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/db/error_log.h"
#include "platform/unique_fd.h"

namespace zen {
namespace {

constexpr const char* kProgramFiles[] = {"bin/zensvc", "bin/zencp", "bin/zenctl",
                                         "lib/libzensp.so"};

bool WritableByOthers(const struct stat& status) {
    return (status.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

bool SecureFile(const std::filesystem::path& path) {
    // Opened without following a link, so the change lands on the file itself.
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat status {};
    if (!fd) {
        return errno == ENOENT;
    }
    if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return false;
    }
    if (status.st_uid != 0 && ::fchown(fd.get(), 0, 0) != 0) {
        return false;
    }
    return !WritableByOthers(status) ||
           ::fchmod(fd.get(), status.st_mode & 07777 & ~(S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

int SecureProgramFiles(const std::filesystem::path& prefix) {
    int secured = 1;
    for (const char* name : kProgramFiles) {
        const std::filesystem::path path = prefix / name;
        if (!SecureFile(path)) {
            LogError("SecureProgramFolder(): %s could not be made root's alone", path.c_str());
            secured = 0;
        }
        struct stat folder {};
        if (::stat(path.parent_path().c_str(), &folder) == 0 &&
            (folder.st_uid != 0 || WritableByOthers(folder))) {
            LogError("SecureProgramFolder(): %s can be changed by accounts other than root",
                     path.parent_path().c_str());
            secured = 0;
        }
    }
    return secured;
}

}  // namespace zen
