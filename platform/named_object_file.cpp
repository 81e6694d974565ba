#include "platform/named_object_file.h"

#include <fcntl.h>
#include <linux/futex.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <string>

#include "platform/root.h"
#include "platform/unique_fd.h"

namespace zen::detail {
namespace {

// Bounds the retries when other processes create or replace the file at the same moment.
constexpr int kAttempts = 8;

bool IsFileName(std::string_view name) {
    return !name.empty() && name.size() <= NAME_MAX && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

mode_t ModeFor(ObjectAccess access) {
    switch (access) {
        case ObjectAccess::RootOnly:
            return 0600;
        case ObjectAccess::RootSignals:
            return 0644;
        case ObjectAccess::Everyone:
            break;
    }
    return 0666;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Checked before anything is mapped: a short file would fault on first touch.
bool CanHold(const struct stat& status, const ObjectHeader& header, ObjectAccess access) {
    if (!S_ISREG(status.st_mode) || status.st_nlink != 1 ||
        status.st_size < static_cast<off_t>(header.size)) {
        return false;
    }
    // Only root may have written a root object; anything else there is a forgery.
    return access == ObjectAccess::Everyone ||
           (status.st_uid == 0 && (status.st_mode & 07777) == ModeFor(access));
}

// Maps `fd` when it holds an object of the kind `header` names; EINVAL when it does not.
void* MapChecked(int fd, const ObjectHeader& header, bool writable) {
    void* address = ::mmap(nullptr, header.size, writable ? PROT_READ | PROT_WRITE : PROT_READ,
                           MAP_SHARED, fd, 0);
    if (address == MAP_FAILED) {
        return nullptr;
    }
    const auto* found = static_cast<const ObjectHeader*>(address);
    if (found->magic != header.magic || found->size != header.size) {
        ::munmap(address, header.size);
        errno = EINVAL;
        return nullptr;
    }
    return address;
}

// Publishes a new object: the file is made unnamed, sized and stamped first, and only then
// linked under its name, so no opener ever sees it half made. EEXIST when another process
// published first.
void* Create(int dir, const std::string& name, const ObjectHeader& header, mode_t mode,
             struct stat& made) {
    UniqueFd fd(::openat(dir, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode));
    if (!fd || ::fchmod(fd.get(), mode) != 0 || ::ftruncate(fd.get(), header.size) != 0 ||
        ::fstat(fd.get(), &made) != 0) {
        return nullptr;
    }
    void* address = ::mmap(nullptr, header.size, PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
    if (address == MAP_FAILED) {
        return nullptr;
    }
    *static_cast<ObjectHeader*>(address) = header;
    const std::string unnamed = "/proc/self/fd/" + std::to_string(fd.get());
    if (::linkat(AT_FDCWD, unnamed.c_str(), dir, name.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        const int error = errno;
        ::munmap(address, header.size);
        errno = error;
        return nullptr;
    }
    return address;
}

// Removes what was judged not to be the object, unless it changed meanwhile.
bool Remove(int dir, const std::string& name, const struct stat& judged) {
    struct stat now {};
    if (::fstatat(dir, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT;
    }
    if (!SameFile(now, judged)) {
        return true;
    }
    const int flags = S_ISDIR(now.st_mode) ? AT_REMOVEDIR : 0;
    return ::unlinkat(dir, name.c_str(), flags) == 0 || errno == ENOENT;
}

// The object mappings of this process, for the bus-error guard: a signal handler may read
// them, so they are a fixed table of atomics rather than a container.
struct GuardedRange {
    std::atomic<uintptr_t> start{0};
    std::atomic<std::size_t> length{0};
};
constexpr std::size_t kGuardedRanges = 256;
std::array<GuardedRange, kGuardedRanges> guardedRanges;

ObjectMapping Guarded(const ObjectMapping& mapping, std::size_t length) {
    const auto start = reinterpret_cast<uintptr_t>(mapping.address);
    for (GuardedRange& range : guardedRanges) {
        uintptr_t free = 0;
        if (range.start.compare_exchange_strong(free, start)) {
            range.length.store(length);
            break;
        }
    }
    return mapping;
}

void Unguard(void* address) {
    const auto start = reinterpret_cast<uintptr_t>(address);
    for (GuardedRange& range : guardedRanges) {
        uintptr_t expected = start;
        range.start.compare_exchange_strong(expected, 0);
    }
}

// A file cut short under its mapping faults on the next touch. Where the fault is in an
// object's pages, they become private zero pages and the access goes on: the object reads as
// damaged until its owner refreshes it. Any other bus error ends the process as before.
void OnBusError(int number, siginfo_t* info, void*) {
    const auto address = reinterpret_cast<uintptr_t>(info->si_addr);
    for (const GuardedRange& range : guardedRanges) {
        const uintptr_t start = range.start.load();
        if (start != 0 && address - start < range.length.load() &&
            ::mmap(reinterpret_cast<void*>(start), range.length.load(), PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
            return;
        }
    }
    ::signal(number, SIG_DFL);
}

// The name leads to the mapped file, long enough to back the mapping, and the mapping holds
// the header (pages the guard replaced hold zeros).
bool IsCurrent(const ObjectMapping& mapping, std::string_view name, const ObjectHeader& header) {
    struct stat status {};
    const std::string path = (paths::RunDir() / std::string(name)).string();
    if (::lstat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_dev != mapping.device || status.st_ino != mapping.inode ||
        status.st_size < static_cast<off_t>(header.size)) {
        return false;
    }
    const auto* found = static_cast<const volatile ObjectHeader*>(mapping.address);
    return found->magic == header.magic && found->size == header.size;
}

}  // namespace

ObjectMapping MapObject(std::string_view name, ObjectHeader header, ObjectAccess access) {
    if (!IsFileName(name)) {
        errno = EINVAL;
        return {};
    }
    const bool root = ::geteuid() == 0;
    if (access == ObjectAccess::RootOnly && !root) {
        errno = EACCES;
        return {};
    }
    // Whoever may create the object also writes it; the others of a root object only watch.
    const bool maker = root || access == ObjectAccess::Everyone;
    UniqueFd dir(::open(paths::RunDir().c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!dir) {
        return {};
    }
    const std::string file(name);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        struct stat named {};
        if (::fstatat(dir.get(), file.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT || !maker) {
                return {};
            }
            struct stat made {};
            if (void* address = Create(dir.get(), file, header, ModeFor(access), made)) {
                return Guarded({address, true, made.st_dev, made.st_ino}, header.size);
            }
            if (errno != EEXIST) {
                return {};
            }
            continue;
        }
        if (S_ISREG(named.st_mode)) {
            // O_NONBLOCK: should a FIFO be swapped in after the check, the open must not hang.
            UniqueFd fd(
                ::openat(dir.get(), file.c_str(),
                         (maker ? O_RDWR : O_RDONLY) | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
            struct stat opened {};
            if (!fd || ::fstat(fd.get(), &opened) != 0) {
                if (errno == ENOENT || errno == ELOOP) {
                    continue;
                }
                return {};
            }
            if (!SameFile(opened, named)) {
                continue;
            }
            if (CanHold(opened, header, access)) {
                if (void* address = MapChecked(fd.get(), header, maker)) {
                    return Guarded({address, maker, opened.st_dev, opened.st_ino}, header.size);
                }
                if (errno != EINVAL) {
                    return {};
                }
            }
        }
        if (!maker) {
            errno = S_ISLNK(named.st_mode) ? ELOOP : EINVAL;
            return {};
        }
        if (!Remove(dir.get(), file, named)) {
            return {};
        }
    }
    errno = EAGAIN;
    return {};
}

void UnmapObject(void* address, std::size_t size) {
    if (address != nullptr) {
        Unguard(address);
        ::munmap(address, size);
    }
}

bool RefreshObject(ObjectMapping& mapping, std::string_view name, ObjectHeader header,
                   ObjectAccess access) {
    if (mapping.address == nullptr) {
        return false;
    }
    if (IsCurrent(mapping, name, header)) {
        return true;
    }
    ObjectMapping fresh = MapObject(name, header, access);
    if (fresh.address == nullptr) {
        return false;
    }
    Unguard(fresh.address);
    // Moved over the old pages in one step: a thread using the object meanwhile sees the old
    // or the new file, never a hole.
    if (::mremap(fresh.address, header.size, header.size, MREMAP_MAYMOVE | MREMAP_FIXED,
                 mapping.address) == MAP_FAILED) {
        ::munmap(fresh.address, header.size);
        return false;
    }
    fresh.address = mapping.address;
    mapping = fresh;
    return true;
}

Clock::time_point Deadline(std::optional<std::chrono::milliseconds> timeout) {
    if (!timeout) {
        return Clock::time_point::max();
    }
    const Clock::time_point now = Clock::now();
    // A time-out too long to add is no limit at all.
    return *timeout < Clock::time_point::max() - now ? now + *timeout : Clock::time_point::max();
}

timespec ToTimespec(Clock::time_point when) {
    const auto ns = when.time_since_epoch() / std::chrono::nanoseconds(1);
    return timespec{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

void FutexWaitUntil(const void* word, uint32_t expected, Clock::time_point until) {
    // FUTEX_WAIT_BITSET takes an absolute CLOCK_MONOTONIC time, so a retry keeps its deadline.
    const timespec when = ToTimespec(until);
    ::syscall(SYS_futex, word, FUTEX_WAIT_BITSET, expected, &when, nullptr, FUTEX_BITSET_MATCH_ANY);
}

void FutexWake(const void* word, int count) {
    ::syscall(SYS_futex, word, FUTEX_WAKE, count, nullptr, nullptr, 0);
}

}  // namespace zen::detail

namespace zen {

void GuardNamedObjectMappings() {
    struct sigaction action {};
    action.sa_sigaction = detail::OnBusError;
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, nullptr);
}

}  // namespace zen
