#include "platform/named_mutex.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <fstream>
#include <limits>
#include <mutex>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/environment.h"
#include "platform/named_object_file.h"
#include "platform/unique_fd.h"

namespace zen {

// The lock lives in a file that every account can write, and a root process takes it too.
// So it holds no pointer at all: glibc's robust mutexes chain their robust list through the
// mutex itself, and a local user rewriting those links would make root's unlock write where
// the user chose. Instead the lock word names its owner (process and thread), and a waiter
// checks that claim against what the kernel knows before it believes it: the owner thread
// must live, and its process must have the object's file mapped. An owner that fails the
// check died or never was, and its lock is taken over as abandoned. A process that maps the
// file and writes a word with its own name passes those checks, as does a claim this process
// may not check; against that, and against an owner stopped while holding the lock, a waiter
// takes the lock over once one owner has kept it for long: root after a second, others after
// five.
namespace {

struct MutexFile {
    detail::ObjectHeader header;
    // Low half, the futex word: the owner's thread id, with kWaiters when someone sleeps on it.
    // High half: the owner's process id. Zero when free.
    std::atomic<uint64_t> owner;
    std::atomic<uint32_t> depth;  // recursion depth; only the owner touches it
};

static_assert(std::endian::native == std::endian::little, "the futex word is the low half");
static_assert(std::atomic<uint64_t>::is_always_lock_free);

constexpr detail::ObjectHeader kHeader{0x5A4D5801, sizeof(MutexFile)};  // "ZMX" v1
constexpr uint64_t kWaiters = 1u << 31;
constexpr uint64_t kThreadMask = kWaiters - 1;
// The owner's death wakes no one, so a sleeper looks at the owner this often; a claim is
// checked against the kernel once it has stood that long.
constexpr std::chrono::milliseconds kOwnerCheck{100};
// How long a waiter lets one owner of another process keep the lock. The system's holds last
// milliseconds; nothing another account does may keep root from its work for longer, nor
// anyone's work for good.
constexpr std::chrono::milliseconds kRootPatience{1000};
constexpr std::chrono::milliseconds kUserPatience{5000};

// Every open handle of this process, so that a word naming one of its threads can be checked
// against the handles of the same file.
std::mutex handlesGuard;
std::vector<const NamedMutex*> handles;

thread_local uint64_t tlsIdentity = 0;

// This thread as the lock word names it. Cached, so that taking the lock costs no system call;
// a forked child is a new thread and must not inherit the cache.
uint64_t Self() {
    [[maybe_unused]] static const int forgetOnFork =
        ::pthread_atfork(nullptr, nullptr, [] { tlsIdentity = 0; });
    if (tlsIdentity == 0) {
        tlsIdentity = (static_cast<uint64_t>(::getpid()) << 32) | static_cast<uint32_t>(::gettid());
    }
    return tlsIdentity;
}

pid_t ProcessOf(uint64_t owner) {
    return static_cast<pid_t>(owner >> 32);
}

uint32_t ThreadOf(uint64_t owner) {
    return static_cast<uint32_t>(owner & kThreadMask);
}

// A process killed while holding the lock stays a zombie until its parent reaps it, and a
// zombie still answers signals. Its state in /proc tells; where /proc hides other accounts'
// processes the owner is taken as alive.
bool IsZombie(pid_t process, pid_t thread) {
    const std::string path =
        "/proc/" + std::to_string(process) + "/task/" + std::to_string(thread) + "/stat";
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    char text[512];
    const ssize_t length = fd ? ::read(fd.get(), text, sizeof text) : -1;
    if (length <= 0) {
        return false;
    }
    // "pid (command) S ...": the command may hold any character, so look after the last ')'.
    const std::string_view stat(text, static_cast<std::size_t>(length));
    const std::size_t close = stat.rfind(')');
    return close != std::string_view::npos && close + 2 < stat.size() &&
           (stat[close + 2] == 'Z' || stat[close + 2] == 'X');
}

// The cheap part of the check, made at every look: the thread named is alive.
bool OwnerGone(uint64_t owner) {
    const pid_t process = ProcessOf(owner);
    const auto thread = static_cast<pid_t>(ThreadOf(owner));
    if (process <= 0 || thread <= 0) {
        return true;  // no live thread is named so: a damaged word
    }
    if (::syscall(SYS_tgkill, process, thread, 0) != 0 && errno == ESRCH) {
        return true;
    }
    return IsZombie(process, thread);
}

// Whether `process` has a file of this inode number mapped, from its memory map in /proc.
// Only the number is compared: a stacked file system (overlayfs) shows there the device of
// the file below, and a rare match on another device only makes the claim believed. Where
// this process may not read that map, the claim cannot be checked and is believed too.
bool MapsFile(pid_t process, uint64_t inode) {
    std::ifstream maps("/proc/" + std::to_string(process) + "/maps");
    if (!maps) {
        return true;
    }
    // "start-end perms offset major:minor inode path"
    std::string range, perms, offset, device;
    uint64_t lineInode = 0;
    std::string line;
    while (std::getline(maps, line)) {
        std::istringstream fields(line);
        if (fields >> range >> perms >> offset >> device >> lineInode && lineInode == inode) {
            return true;
        }
    }
    return false;
}

}  // namespace

struct NamedMutex::Shared : MutexFile {};

NamedMutex::NamedMutex() = default;

NamedMutex::~NamedMutex() {
    Close();
}

bool NamedMutex::Open(std::string_view name) {
    Close();
    const detail::ObjectMapping mapping = detail::MapObject(name, kHeader, ObjectAccess::Everyone);
    if (mapping.address == nullptr) {
        return false;
    }
    shared_ = static_cast<Shared*>(mapping.address);
    name_ = name;
    device_ = mapping.device;
    inode_ = mapping.inode;
    const std::lock_guard guard(handlesGuard);
    handles.push_back(this);
    return true;
}

void NamedMutex::Close() {
    if (shared_ == nullptr) {
        return;
    }
    {
        const std::lock_guard guard(handlesGuard);
        std::erase(handles, this);
    }
    detail::UnmapObject(shared_, sizeof(Shared));
    shared_ = nullptr;
    name_.clear();
}

bool NamedMutex::IsOpen() const {
    return shared_ != nullptr;
}

const std::string& NamedMutex::Name() const {
    return name_;
}

bool NamedMutex::Refresh() {
    if (shared_ == nullptr) {
        return false;
    }
    detail::ObjectMapping mapping{shared_, true, static_cast<dev_t>(device_.load()),
                                  static_cast<ino_t>(inode_.load())};
    if (!detail::RefreshObject(mapping, name_, kHeader, ObjectAccess::Everyone)) {
        return false;
    }
    device_ = mapping.device;
    inode_ = mapping.inode;
    return true;
}

bool NamedMutex::HeldByThreadOfThisProcess(uint32_t thread) const {
    const std::lock_guard guard(handlesGuard);
    return std::ranges::any_of(handles, [&](const NamedMutex* handle) {
        return handle->device_ == device_ && handle->inode_ == inode_ && handle->heldBy_ == thread;
    });
}

// The kernel's part of the check, made once a claim has stood a while.
bool NamedMutex::OwnerHolds(uint64_t owner) const {
    if (ProcessOf(owner) == ::getpid()) {
        return HeldByThreadOfThisProcess(ThreadOf(owner));
    }
    return MapsFile(ProcessOf(owner), inode_);
}

LockResult NamedMutex::Lock(std::optional<std::chrono::milliseconds> timeout) {
    if (shared_ == nullptr) {
        errno = EBADF;
        return LockResult::Failed;
    }
    const uint64_t self = Self();
    uint64_t current = 0;
    if (shared_->owner.compare_exchange_strong(current, self, std::memory_order_acquire,
                                               std::memory_order_relaxed)) {
        shared_->depth.store(1, std::memory_order_relaxed);
        heldBy_.store(ThreadOf(self), std::memory_order_relaxed);
        return LockResult::Acquired;
    }
    if ((current & ~kWaiters) == self) {
        const uint32_t depth = shared_->depth.load(std::memory_order_relaxed);
        if (depth == std::numeric_limits<uint32_t>::max()) {
            errno = EAGAIN;
            return LockResult::Failed;
        }
        shared_->depth.store(depth + 1, std::memory_order_relaxed);
        return LockResult::Acquired;
    }

    using detail::Clock;
    // A Lock that names no limit waits at most the environment's (the service's: a lock held
    // by a stopped process must not stop its ticks).
    if (!timeout) {
        timeout = Env().lockWaitLimit;
    }
    const Clock::time_point deadline = detail::Deadline(timeout);
    const auto patience = ::geteuid() == 0 ? kRootPatience : kUserPatience;
    // The owner being looked at, and since when it holds the lock in this waiter's eyes.
    uint64_t watched = 0;
    Clock::time_point watchedSince{};
    // Once contended, the lock is taken with kWaiters set, so that its release wakes the next.
    const uint64_t contended = self | kWaiters;
    for (;;) {
        current = shared_->owner.load(std::memory_order_relaxed);
        const Clock::time_point now = Clock::now();
        if ((current & ~kWaiters) != watched) {
            watched = current & ~kWaiters;
            watchedSince = now;
        }
        const auto held = now - watchedSince;
        const bool takeOver =
            current != 0 && (OwnerGone(current) || (held >= kOwnerCheck && !OwnerHolds(current)) ||
                             (held >= patience && ProcessOf(current) != ::getpid()));
        if (current == 0 || takeOver) {
            if (shared_->owner.compare_exchange_strong(current, contended,
                                                       std::memory_order_acquire)) {
                shared_->depth.store(1, std::memory_order_relaxed);
                heldBy_.store(ThreadOf(self), std::memory_order_relaxed);
                return current == 0 ? LockResult::Acquired : LockResult::Abandoned;
            }
            continue;
        }
        if ((current & kWaiters) == 0) {
            if (!shared_->owner.compare_exchange_strong(current, current | kWaiters,
                                                        std::memory_order_relaxed)) {
                continue;
            }
            current |= kWaiters;
        }
        if (now >= deadline) {
            return LockResult::TimedOut;
        }
        // The low half of the owner word is the futex word.
        detail::FutexWaitUntil(&shared_->owner, static_cast<uint32_t>(current),
                               std::min(deadline, now + kOwnerCheck));
    }
}

void NamedMutex::Unlock() {
    if (shared_ == nullptr) {
        return;
    }
    const uint64_t self = Self();
    uint64_t current = shared_->owner.load(std::memory_order_relaxed);
    if ((current & ~kWaiters) != self) {
        // Not held by this thread: releasing it is refused, as on Windows. Should this thread
        // have held it until it was taken over, it holds nothing now.
        uint32_t thread = ThreadOf(self);
        heldBy_.compare_exchange_strong(thread, 0, std::memory_order_relaxed);
        return;
    }
    const uint32_t depth = shared_->depth.load(std::memory_order_relaxed);
    if (depth > 1) {
        shared_->depth.store(depth - 1, std::memory_order_relaxed);
        return;
    }
    shared_->depth.store(0, std::memory_order_relaxed);
    heldBy_.store(0, std::memory_order_relaxed);
    // A compare, not a plain store: a lock taken over from this thread meanwhile is left to
    // its new owner.
    while (!shared_->owner.compare_exchange_weak(current, 0, std::memory_order_release,
                                                 std::memory_order_relaxed)) {
        if ((current & ~kWaiters) != self) {
            return;
        }
    }
    if (current & kWaiters) {
        detail::FutexWake(&shared_->owner, 1);
    }
}

}  // namespace zen
