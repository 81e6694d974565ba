#pragma once

#include <chrono>
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

// A mutex shared by every process of the system under a name: a robust, recursive,
// process-shared pthread mutex in a small file of the run directory that every account may
// open. Recursive per thread; an owner that dies leaves it usable again (Abandoned).
// Taking and releasing it uncontended makes no system call.
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

    // Waits without limit, or at most `timeout`.
    LockResult Lock(std::optional<std::chrono::milliseconds> timeout = std::nullopt);
    void Unlock();

private:
    struct Shared;
    Shared* shared_ = nullptr;
    std::string name_;
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
