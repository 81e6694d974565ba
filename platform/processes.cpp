#include "platform/processes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <charconv>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

#include "platform/carried_program.h"

namespace zen {
namespace {

// "PID/entry" relative to /proc.
struct EntryName {
    std::array<char, 48> text{};
    EntryName(pid_t pid, const char* entry) {
        std::snprintf(text.data(), text.size(), "%d/%s", static_cast<int>(pid), entry);
    }
    const char* c_str() const { return text.data(); }
};

// The whole of a small /proc file; "" when it cannot be read.
std::string_view ReadSmall(int procDir, const EntryName& name, std::span<char> buffer) {
    const UniqueFd fd(::openat(procDir, name.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        return {};
    }
    const ssize_t length = ::read(fd.get(), buffer.data(), buffer.size());
    return length > 0 ? std::string_view(buffer.data(), static_cast<std::size_t>(length))
                      : std::string_view();
}

// Field 22 of /proc/PID/stat, counted after the command name, which may hold anything.
std::optional<uint64_t> StartTicks(int procDir, pid_t pid) {
    std::array<char, 1024> buffer;
    const std::string_view stat = ReadSmall(procDir, EntryName(pid, "stat"), buffer);
    const std::size_t nameEnd = stat.rfind(')');
    if (nameEnd == std::string_view::npos) {
        return std::nullopt;
    }
    // After ") " come fields 3 (state) onwards; the start time is the 20th of them.
    std::size_t at = nameEnd + 1;
    for (int field = 3; field < 22; ++field) {
        at = stat.find(' ', at + 1);
        if (at == std::string_view::npos) {
            return std::nullopt;
        }
    }
    uint64_t ticks = 0;
    const char* first = stat.data() + at + 1;
    if (std::from_chars(first, stat.data() + stat.size(), ticks).ec != std::errc()) {
        return std::nullopt;
    }
    return ticks;
}

// The real uid: a set-uid program started by a child still counts as the child's.
std::optional<uid_t> RealUid(int procDir, pid_t pid) {
    std::array<char, 4096> buffer;
    const std::string_view status = ReadSmall(procDir, EntryName(pid, "status"), buffer);
    const std::size_t line = status.find("\nUid:");
    if (line == std::string_view::npos) {
        return std::nullopt;
    }
    std::size_t at = status.find_first_not_of(" \t", line + 5);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    uid_t uid = 0;
    if (std::from_chars(status.data() + at, status.data() + status.size(), uid).ec != std::errc()) {
        return std::nullopt;
    }
    return uid;
}

}  // namespace

ExecutableId IdentityFromStat(const struct stat& status) {
    return {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino),
            static_cast<int64_t>(status.st_size),
            status.st_mtim.tv_sec * 1'000'000'000 + status.st_mtim.tv_nsec};
}

UniqueFd OpenProcDirectory() {
    return UniqueFd(::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

std::optional<std::string> ExecutablePath(int procDir, pid_t pid) {
    std::array<char, 4096> target;
    const ssize_t length =
        ::readlinkat(procDir, EntryName(pid, "exe").c_str(), target.data(), target.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) {
        return std::nullopt;
    }
    return std::string(target.data(), static_cast<std::size_t>(length));
}

std::optional<ProcessInfo> ReadProcess(int procDir, pid_t pid) {
    // The start time first: whatever is read after it belongs to that process or to none, as
    // the caller checks the start time again before acting on it.
    const std::optional<uint64_t> start = StartTicks(procDir, pid);
    if (!start) {
        return std::nullopt;
    }
    std::optional<std::string> path = ExecutablePath(procDir, pid);
    struct stat status {};
    if (!path || ::fstatat(procDir, EntryName(pid, "exe").c_str(), &status, 0) != 0) {
        return std::nullopt;
    }
    const std::optional<uid_t> uid = RealUid(procDir, pid);
    if (!uid) {
        return std::nullopt;
    }
    std::optional<CarriedProgram> carried = CarriedProgramOf(procDir, pid, *path);
    return ProcessInfo{
        pid, *uid, *start, std::move(*path), IdentityFromStat(status), std::move(carried)};
}

UniqueFd OpenProcessFd(int procDir, pid_t pid, uint64_t startTicks) {
    UniqueFd pidfd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    if (!pidfd || StartTicks(procDir, pid) != startTicks) {
        return {};
    }
    return pidfd;
}

UniqueFd OpenExecutable(int procDir, pid_t pid) {
    return UniqueFd(
        ::openat(procDir, EntryName(pid, "exe").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
}

UniqueFd OpenProgram(int procDir, const ProcessInfo& process) {
    if (!process.carried) {
        return OpenExecutable(procDir, process.pid);
    }
    // Opened for reading only once it is known to be the regular file that was read: a path
    // the child chose may name a device by now.
    const UniqueFd located(::open(process.carried->path.c_str(), O_PATH | O_CLOEXEC));
    struct stat status {};
    if (!located || ::fstat(located.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        IdentityFromStat(status) != process.carried->file) {
        return {};
    }
    const std::string reopen = "/proc/self/fd/" + std::to_string(located.get());
    return UniqueFd(::open(reopen.c_str(), O_RDONLY | O_CLOEXEC));
}

std::optional<ExecutableId> IdentityOf(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        return std::nullopt;
    }
    return IdentityFromStat(status);
}

}  // namespace zen
