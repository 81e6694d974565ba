#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zen {

enum class LockResult {
    Acquired,
    Abandoned,  // acquired, but the previous owner died holding it
    TimedOut,
    Failed,
};

inline bool Holds(LockResult result) {
    return result == LockResult::Acquired || result == LockResult::Abandoned;
}

// A mutex shared by every process of the system under a name: a lock word in a small file of
// the run directory that every account may open and write. Recursive per thread; an owner
// that dies leaves it usable again (Abandoned), and so does an owner the word names falsely.
// A waiter also takes over a lock that another process has kept for long while it waited (a
// second for root, five for others), so that nothing another account holds or forges stops
// anyone's work for good. Taking and releasing it uncontended makes no system call.
class NamedMutex {
public:
    NamedMutex();
    ~NamedMutex();
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    // Creates or opens the object; false (errno set) when it cannot be had.
    bool Open(std::string_view name);
    void Close();
    bool IsOpen() const;
    const std::string& Name() const;

    // Waits at most `timeout`; without one, at most this process's default limit.
    LockResult Lock(std::optional<std::chrono::milliseconds> timeout = std::nullopt);
    void Unlock();

    // Maps the object again when its file was replaced, cut short or damaged; false when the
    // object cannot be had.
    bool Refresh();

private:
    struct Shared;
    bool HeldByThreadOfThisProcess(uint32_t thread) const;
    bool OwnerHolds(uint64_t owner) const;

    Shared* shared_ = nullptr;
    std::string name_;
    // The file mapped, and the thread of this process that holds the lock through this
    // handle: what the kernel and this process know, against which the word is checked.
    std::atomic<uint64_t> device_{0};
    std::atomic<uint64_t> inode_{0};
    std::atomic<uint32_t> heldBy_{0};
};

// Holds a NamedMutex for a scope when the lock was had.
class NamedMutexLock {
public:
    explicit NamedMutexLock(NamedMutex& mutex,
                            std::optional<std::chrono::milliseconds> timeout = std::nullopt)
        : mutex_(mutex), result_(mutex.Lock(timeout)) {}
    ~NamedMutexLock() {
        if (Holds(result_)) {
            mutex_.Unlock();
        }
    }
    NamedMutexLock(const NamedMutexLock&) = delete;
    NamedMutexLock& operator=(const NamedMutexLock&) = delete;

    bool owns() const { return Holds(result_); }
    LockResult result() const { return result_; }

private:
    NamedMutex& mutex_;
    LockResult result_;
};

}  // namespace zen
