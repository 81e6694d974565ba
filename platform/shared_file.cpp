#include "platform/shared_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <random>
#include <string>

namespace zen {
namespace fs = std::filesystem;

namespace {

bool IsSingleRegularFile(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        return false;
    }
    if (!S_ISREG(status.st_mode) || status.st_nlink != 1) {
        errno = EINVAL;
        return false;
    }
    return true;
}

bool WriteAll(int fd, std::span<const std::byte> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

// A hidden, random name next to `target` for a file on its way to replace it.
fs::path ScratchName(const fs::path& target) {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = "." + target.filename().string() + ".";
    for (int i = 0; i < 8; ++i) {
        name.push_back(kLetters[generator() % (sizeof kLetters - 1)]);
    }
    return target.parent_path() / name;
}

// Gives the unnamed file behind `fd` a fresh name next to `target`; returns that name.
std::optional<fs::path> LinkUnnamed(int fd, const fs::path& target) {
    const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 16; ++attempt) {
        fs::path name = ScratchName(target);
        if (::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return name;
        }
        if (errno != EEXIST) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// A new file next to `target` that nobody else can have opened: unnamed where the file
// system allows it (a crash then leaves nothing behind), else an exclusive fresh name.
UniqueFd CreateScratch(const fs::path& target, mode_t mode, std::optional<fs::path>& named) {
    UniqueFd fd(::open(target.parent_path().c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
    if (fd) {
        return fd;
    }
    for (int attempt = 0; attempt < 16; ++attempt) {
        fs::path name = ScratchName(target);
        fd.reset(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (fd) {
            named = std::move(name);
            return fd;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    return UniqueFd();
}

}  // namespace

std::optional<std::string> ReadFirstLine(const fs::path& path) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) {
        return std::nullopt;
    }
    line.erase(line.find_last_not_of(" \t\r") + 1);
    return line;
}

std::size_t ReadFully(int fd, void* buffer, std::size_t size) {
    auto* bytes = static_cast<std::byte*>(buffer);
    std::size_t total = 0;
    while (total < size) {
        const ssize_t got = ::read(fd, bytes + total, size - total);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        total += static_cast<std::size_t>(got);
    }
    return total;
}

UniqueFd OpenSharedFile(const fs::path& path, int flags, mode_t mode) {
    const bool mayCreate = (flags & O_CREAT) != 0;
    // O_NONBLOCK keeps open() from waiting forever on a FIFO planted under the name; it is
    // taken off again once the file is known to be a regular one.
    const int openFlags = flags | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC;
    UniqueFd fd;
    bool created = false;
    if (mayCreate && (flags & O_EXCL) == 0) {
        // Tell creation apart from opening, so that only a file made here gets its mode set.
        fd.reset(::open(path.c_str(), openFlags | O_EXCL, mode));
        created = static_cast<bool>(fd);
        if (!fd && errno == EEXIST) {
            fd.reset(::open(path.c_str(), openFlags & ~O_CREAT));
        }
    } else {
        fd.reset(::open(path.c_str(), openFlags, mode));
        created = static_cast<bool>(fd) && mayCreate;
    }
    if (!fd) {
        return fd;
    }
    if (!IsSingleRegularFile(fd.get())) {
        const int error = errno;
        fd.reset();
        errno = error;
        return fd;
    }
    if ((flags & O_NONBLOCK) == 0 && ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return UniqueFd();
    }
    if (created && ::fchmod(fd.get(), mode) != 0) {
        return UniqueFd();
    }
    return fd;
}

bool ReplaceFile(const fs::path& path, std::span<const std::byte> bytes, mode_t mode,
                 FileStamp* stamp) {
    std::optional<fs::path> named;
    UniqueFd fd = CreateScratch(path, mode, named);
    if (!fd) {
        return false;
    }
    const auto discard = [&] {
        const int error = errno;
        if (named) {
            ::unlink(named->c_str());
        }
        errno = error;
        return false;
    };
    if (::fchmod(fd.get(), mode) != 0 || !WriteAll(fd.get(), bytes) || ::fsync(fd.get()) != 0) {
        return discard();
    }
    if (stamp != nullptr) {
        *stamp = StampOf(fd.get());
    }
    if (!named) {
        named = LinkUnnamed(fd.get(), path);
        if (!named) {
            return false;
        }
    }
    // rename() replaces a planted link itself and never writes through it.
    if (::rename(named->c_str(), path.c_str()) != 0) {
        return discard();
    }
    return true;
}

namespace {

FileStamp StampFrom(const struct stat& status) {
    return FileStamp{
        status.st_dev, status.st_ino,
        static_cast<int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec,
        static_cast<int64_t>(status.st_size)};
}

}  // namespace

FileStamp StampOf(const fs::path& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return FileStamp{};
    }
    return StampFrom(status);
}

FileStamp StampOf(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        return FileStamp{};
    }
    return StampFrom(status);
}

}  // namespace zen
