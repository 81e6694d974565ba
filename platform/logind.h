#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zen {

// logind is asked on the real machine, and under another root only when a bus is named on
// purpose (DBUS_SYSTEM_BUS_ADDRESS): a test root must never read the seat of its machine.
bool LogindInScope();

// Questions to logind on the system bus (DBUS_SYSTEM_BUS_ADDRESS when set). Each thread keeps
// one connection of its own and opens it again after the bus went away. Nothing when logind
// cannot be asked.

// The user name of the active session of seat0; "" when no session is active there, or when
// it is the login screen (class greeter) or a session of an account never controlled.
std::optional<std::string> LogindConsoleUser();

// The user name of a session by its logind identifier; "" for the login screen's and those
// of accounts never controlled.
std::optional<std::string> LogindSessionUser(std::string_view sessionId);

}  // namespace zen
