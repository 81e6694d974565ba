#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/logind_bus.h"

namespace zen {

// Session-change event types, as the control handler receives them.
inline constexpr uint32_t kSessionConsoleConnect = 1;
inline constexpr uint32_t kSessionLogon = 5;

// Follows logind on the system bus for the main loop: a new session (SessionNew) is a logon,
// a new active session of seat0 a console connect. The loop polls fd() for events() and calls
// Process() when it wakes.
class SessionMonitor {
public:
    using Handler = std::function<void(uint32_t eventType, const std::string& sessionId)>;

    SessionMonitor();
    ~SessionMonitor();
    SessionMonitor(const SessionMonitor&) = delete;
    SessionMonitor& operator=(const SessionMonitor&) = delete;

    // False when the bus cannot be reached; the service then goes on without notifications.
    bool Open(Handler handler);
    bool IsOpen() const { return bus_ != nullptr; }
    int fd() const;
    uint32_t events() const;  // epoll events the bus waits for
    int timeoutMs() const;    // -1 when the bus has no deadline
    void Process();

private:
    static int OnSessionNew(sd_bus_message* message, void* self, sd_bus_error* error);
    static int OnSeatChanged(sd_bus_message* message, void* self, sd_bus_error* error);

    BusPtr bus_;
    Handler handler_;
};

}  // namespace zen
