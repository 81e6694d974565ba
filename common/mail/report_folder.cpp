#include "common/mail/report_folder.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "common/db/error_log.h"
#include "platform/root.h"
#include "platform/unique_fd.h"

namespace zen {
namespace {

constexpr mode_t kPrivateMode = 0700;

// An absolute path from the environment, or nothing.
std::optional<std::filesystem::path> AbsoluteFromEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') {
        return std::nullopt;
    }
    return std::filesystem::path(value);
}

std::filesystem::path HomeFolder() {
    if (auto home = AbsoluteFromEnv("HOME")) {
        return *home;
    }
    const passwd* entry = ::getpwuid(::geteuid());
    return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "/";
}

std::nullopt_t Refuse(const std::filesystem::path& folder, const char* why) {
    LogError("PrivateReportFolder() : %s %s", folder.c_str(), why);
    return std::nullopt;
}

}  // namespace

std::filesystem::path ReportFolderLocation() {
    if (::geteuid() == 0) {
        return Root() / "var/cache/zentimo";
    }
    if (auto runtime = AbsoluteFromEnv("XDG_RUNTIME_DIR")) {
        return *runtime / "zentimo";
    }
    return HomeFolder() / ".cache/zentimo";
}

std::optional<std::filesystem::path> PrivateReportFolder() {
    const std::filesystem::path folder = ReportFolderLocation();
    std::error_code error;
    std::filesystem::create_directories(folder.parent_path(), error);
    const bool created = ::mkdir(folder.c_str(), kPrivateMode) == 0;
    if (!created && errno != EEXIST) {
        return Refuse(folder, std::strerror(errno));
    }
    // O_NOFOLLOW: a link put in the folder's place is refused, not followed.
    const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) {
        return Refuse(folder, "is not a directory of its own");
    }
    // A new folder gets its mode whatever the umask took away.
    if (created && ::fchmod(fd.get(), kPrivateMode) != 0) {
        return Refuse(folder, std::strerror(errno));
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return Refuse(folder, "is not a directory of its own");
    }
    if (info.st_uid != ::geteuid()) {
        return Refuse(folder, "belongs to another account");
    }
    if ((info.st_mode & 07777) != kPrivateMode) {
        return Refuse(folder, "is open to other accounts");
    }
    return folder;
}

}  // namespace zen
