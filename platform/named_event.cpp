#include "platform/named_event.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "platform/named_object_file.h"

namespace zen {

namespace {

// The event's file.
struct EventFile {
    detail::ObjectHeader header;
    std::atomic<uint32_t> generation;  // the futex word: moves on every Set and Pulse
    std::atomic<uint32_t> state;       // 1 while set
};

constexpr detail::ObjectHeader kHeader{0x5A455601, sizeof(EventFile)};  // "ZEV" v1
// Where the kernel lacks futex_waitv, a waiter looks at its cancel flag this often.
constexpr std::chrono::milliseconds kCancelCheck{100};

// Sleeps until the shared generation leaves `generation`, this process's wake-up counter
// leaves `wakeups`, or the deadline.
void Sleep(const std::atomic<uint32_t>& shared, uint32_t generation,
           const std::atomic<uint32_t>& local, uint32_t wakeups,
           detail::Clock::time_point deadline) {
    futex_waitv words[2] = {
        {generation, reinterpret_cast<uintptr_t>(&shared), FUTEX_32, 0},
        {wakeups, reinterpret_cast<uintptr_t>(&local), FUTEX_32 | FUTEX_PRIVATE_FLAG, 0},
    };
    const timespec until = detail::ToTimespec(deadline);
    const bool limited = deadline != detail::Clock::time_point::max();
    if (::syscall(SYS_futex_waitv, words, 2, 0, limited ? &until : nullptr, CLOCK_MONOTONIC) == 0 ||
        errno != ENOSYS) {
        return;
    }
    detail::FutexWaitUntil(&shared, generation,
                           std::min(deadline, detail::Clock::now() + kCancelCheck));
}

// Leaves the event in `state` and wakes every current waiter of every process.
bool Signal(EventFile& shared, uint32_t state) {
    shared.state.store(state);
    shared.generation.fetch_add(1);
    detail::FutexWake(&shared.generation, INT_MAX);
    return true;
}

bool Refuse(const EventFile* shared) {
    errno = shared == nullptr ? EBADF : EPERM;
    return false;
}

}  // namespace

struct NamedEvent::Shared : EventFile {};

NamedEvent::NamedEvent() = default;

NamedEvent::~NamedEvent() {
    Close();
}

bool NamedEvent::Open(std::string_view name, ObjectAccess access) {
    Close();
    const detail::ObjectMapping mapping = detail::MapObject(name, kHeader, access);
    if (mapping.address == nullptr) {
        return false;
    }
    shared_ = static_cast<Shared*>(mapping.address);
    canSignal_ = mapping.writable;
    name_ = name;
    access_ = access;
    device_ = mapping.device;
    inode_ = mapping.inode;
    return true;
}

bool NamedEvent::Refresh() {
    if (shared_ == nullptr) {
        return false;
    }
    detail::ObjectMapping mapping{shared_, canSignal_, static_cast<dev_t>(device_),
                                  static_cast<ino_t>(inode_)};
    if (!detail::RefreshObject(mapping, name_, kHeader, access_)) {
        return false;
    }
    if (mapping.inode != inode_ || mapping.device != device_) {
        device_ = mapping.device;
        inode_ = mapping.inode;
        canSignal_ = mapping.writable;
        WakeWaiters();
    }
    return true;
}

void NamedEvent::Close() {
    detail::UnmapObject(shared_, sizeof(Shared));
    shared_ = nullptr;
    canSignal_ = false;
}

bool NamedEvent::IsOpen() const {
    return shared_ != nullptr;
}

bool NamedEvent::Pulse() {
    return canSignal_ ? Signal(*shared_, 0) : Refuse(shared_);
}

bool NamedEvent::Set() {
    return canSignal_ ? Signal(*shared_, 1) : Refuse(shared_);
}

bool NamedEvent::Reset() {
    if (!canSignal_) {
        return Refuse(shared_);
    }
    shared_->state.store(0);
    return true;
}

bool NamedEvent::IsSet() const {
    return shared_ != nullptr && shared_->state.load() != 0;
}

uint32_t NamedEvent::Generation() const {
    return shared_ == nullptr ? 0 : shared_->generation.load();
}

bool NamedEvent::Wait(std::optional<std::chrono::milliseconds> timeout,
                      const std::atomic<bool>* cancel) {
    // The generation is read before the state: a Set in between moves it, so the wait that
    // follows returns at once.
    const uint32_t seen = Generation();
    return IsSet() || WaitForChange(seen, timeout, cancel);
}

bool NamedEvent::WaitForChange(uint32_t seen, std::optional<std::chrono::milliseconds> timeout,
                               const std::atomic<bool>* cancel) {
    if (shared_ == nullptr) {
        errno = EBADF;
        return false;
    }
    const detail::Clock::time_point deadline = detail::Deadline(timeout);
    for (;;) {
        if (shared_->generation.load() != seen) {
            return true;
        }
        // Read before the cancel flag, so that a WakeWaiters after the check still wakes.
        const uint32_t wakeups = wakeups_.load();
        if (cancel != nullptr && cancel->load()) {
            return false;
        }
        if (detail::Clock::now() >= deadline) {
            return false;
        }
        Sleep(shared_->generation, seen, wakeups_, wakeups, deadline);
    }
}

void NamedEvent::WakeWaiters() {
    // Only this process's waiters can see their cancel flags, so only they are woken.
    wakeups_.fetch_add(1);
    ::syscall(SYS_futex, &wakeups_, FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

}  // namespace zen
