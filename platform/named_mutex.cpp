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
#include <limits>
#include <string>
#include <string_view>

#include "platform/named_object_file.h"
#include "platform/unique_fd.h"

namespace zen {

// The lock lives in a file that every account can write, and a root process takes it too.
// So it holds no pointer at all: glibc's robust mutexes chain their robust list through the
// mutex itself, and a local user rewriting those links would make root's unlock write where
// the user chose. Instead the lock word names its owner (process and thread), and a waiter
// that finds the owner gone takes the lock over as abandoned.
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
// The owner's death wakes no one, so a sleeper looks at the owner this often.
constexpr std::chrono::milliseconds kOwnerCheck{100};

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

bool OwnerGone(uint64_t owner) {
    const auto process = static_cast<pid_t>(owner >> 32);
    const auto thread = static_cast<pid_t>(owner & kThreadMask);
    if (process <= 0 || thread <= 0) {
        return true;  // no live thread is named so: a damaged word
    }
    if (::syscall(SYS_tgkill, process, thread, 0) != 0 && errno == ESRCH) {
        return true;
    }
    return IsZombie(process, thread);
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
    return true;
}

void NamedMutex::Close() {
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
    const Clock::time_point deadline = detail::Deadline(timeout);
    // Once contended, the lock is taken with kWaiters set, so that its release wakes the next.
    const uint64_t contended = self | kWaiters;
    for (;;) {
        current = shared_->owner.load(std::memory_order_relaxed);
        if (current == 0 || OwnerGone(current)) {
            if (shared_->owner.compare_exchange_strong(current, contended,
                                                       std::memory_order_acquire)) {
                shared_->depth.store(1, std::memory_order_relaxed);
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
        const Clock::time_point now = Clock::now();
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
    const uint64_t current = shared_->owner.load(std::memory_order_relaxed);
    if ((current & ~kWaiters) != Self()) {
        return;  // not held by this thread: releasing it is refused, as on Windows
    }
    const uint32_t depth = shared_->depth.load(std::memory_order_relaxed);
    if (depth > 1) {
        shared_->depth.store(depth - 1, std::memory_order_relaxed);
        return;
    }
    shared_->depth.store(0, std::memory_order_relaxed);
    if (shared_->owner.exchange(0, std::memory_order_release) & kWaiters) {
        detail::FutexWake(&shared_->owner, 1);
    }
}

}  // namespace zen
