#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zen {

// What the service asks of logind in order to act, each call on a connection of its own (the
// calls are rare: one per warning or action). The bus is DBUS_SYSTEM_BUS_ADDRESS when set.

// The identifier of seat0's active session: "" when none is active there, nothing when logind
// cannot be asked.
std::optional<std::string> LogindActiveSessionId();

enum class LogindResult {
    Done,
    Failed,       // logind answered with an error
    Unavailable,  // no system bus, or nobody owns logind's name on it
};

// Ends a session and every process in it.
LogindResult LogindTerminateSession(std::string_view sessionId);
// Powers the machine off, not interactively: no polkit question may hold it.
LogindResult LogindPowerOff();

}  // namespace zen
