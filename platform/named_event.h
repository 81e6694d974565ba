#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zen {

// Who may use a named object.
enum class ObjectAccess {
    Everyone,     // every account opens, waits and signals
    RootOnly,     // only root opens it at all
    RootSignals,  // every account waits; only root sets, resets or pulses
};

// Another account may cut an object's file short under this process's mapping, which faults
// on the next touch. Once this is called, such a fault turns the object's pages into private
// zeros instead of ending the process, and the object's Refresh maps it again. Only a process
// that owns its signal handling calls it: the service.
void GuardNamedObjectMappings();

// A manual-reset event shared by every process under a name: a futex word in a small file of
// the run directory. Pulse wakes every process's current waiters and leaves the event clear;
// Set keeps it signalled until Reset.
class NamedEvent {
public:
    NamedEvent();
    ~NamedEvent();
    NamedEvent(const NamedEvent&) = delete;
    NamedEvent& operator=(const NamedEvent&) = delete;

    // Creates or opens the object; false (errno set) when it cannot be had with that access.
    bool Open(std::string_view name, ObjectAccess access = ObjectAccess::Everyone);
    void Close();
    bool IsOpen() const;

    // Each returns false when this process may not signal the event.
    bool Pulse();
    bool Set();
    bool Reset();
    bool IsSet() const;

    // True when the event is set, or is set or pulsed during the wait. False on time-out, or
    // when `cancel` is found true after WakeWaiters.
    bool Wait(std::optional<std::chrono::milliseconds> timeout = std::nullopt,
              const std::atomic<bool>* cancel = nullptr);

    // The count of Sets and Pulses so far (it wraps). A watcher that reads it before handling
    // a signal and waits for a change from it misses no signal that comes meanwhile.
    uint32_t Generation() const;
    // True once the generation is no longer `seen`, at once if it already moved; false on
    // time-out, or when `cancel` is found true after WakeWaiters.
    bool WaitForChange(uint32_t seen,
                       std::optional<std::chrono::milliseconds> timeout = std::nullopt,
                       const std::atomic<bool>* cancel = nullptr);

    // Wakes the waiters without signalling, so that a waiter whose `cancel` flag was raised
    // returns; the others wait on.
    void WakeWaiters();

    // Maps the object again when its file was replaced, cut short or damaged, and wakes this
    // process's waiters, which then watch the new file (its generation counts as a change).
    // False when the object cannot be had.
    bool Refresh();

private:
    struct Shared;
    Shared* shared_ = nullptr;
    bool canSignal_ = false;
    std::string name_;
    ObjectAccess access_ = ObjectAccess::Everyone;
    uint64_t device_ = 0;
    uint64_t inode_ = 0;
    // Moved by WakeWaiters: this process's waiters sleep on it beside the shared word, so a
    // wake that comes just before they sleep is not lost.
    std::atomic<uint32_t> wakeups_{0};
};

}  // namespace zen
