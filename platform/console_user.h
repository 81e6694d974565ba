#pragma once

#include <string>
#include <string_view>

#include "platform/environment.h"

namespace zen {

// The login name of the user at the machine's console, "" when nobody is logged on there or
// it cannot be told. Asked in this order, the first that can answer decides:
//  1. under a root other than "/", the file run/zentimo/seat (a user name) when it exists;
//  2. logind's active session of seat0, under "/" or when DBUS_SYSTEM_BUS_ADDRESS names a bus
//     (tests run a mock logind on a private bus);
//  3. under "/" only, the first user process login on a local terminal or display in utmp.
std::string ConsoleUserName();

// The environment with its console user taken as ConsoleUserName() finds it.
Environment WithConsoleSessions(Environment environment);

// The user of a logind session by its identifier, "" when it cannot be told.
std::string SessionUserName(std::string_view sessionId);

}  // namespace zen
