#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>

#include "platform/unique_fd.h"

namespace zen {

// What the kernel reports about a process (a thread group; single threads are left out).
enum class ProcessEventKind {
    Started,     // forked
    Executed,    // ran a new program
    UidChanged,  // changed its credentials
    Ended,
};

struct ProcessEvent {
    ProcessEventKind kind;
    pid_t pid;
};

// The kernel's process events (the proc connector). Only root in the initial namespaces may
// listen, and the kernel tells nobody else so; Subscribe therefore waits for the kernel's
// acknowledgement and gives nothing without it.
class ProcessEvents {
public:
    static std::optional<ProcessEvents> Subscribe();
    ProcessEvents(ProcessEvents&&) = default;
    ProcessEvents& operator=(ProcessEvents&&) = default;
    ~ProcessEvents();

    // Hands every queued event to `each`, oldest first, without waiting. False when events were
    // lost (the queue overflowed) or the socket failed: the caller must read /proc afresh.
    bool Drain(const std::function<void(const ProcessEvent&)>& each);

private:
    explicit ProcessEvents(UniqueFd socket) : socket_(std::move(socket)) {}
    UniqueFd socket_;
};

}  // namespace zen
