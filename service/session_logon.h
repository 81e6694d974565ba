#pragma once

#include <string_view>

namespace zen {

class CDBManager;

// A user logged on to or connected to the console: a name the users table does not know yet
// becomes the current user at once (and joins "Guests"), without waiting for the next tick.
// A known one becomes current at the next tick.
void SessionLogon(CDBManager& db, std::string_view sessionId);

}  // namespace zen
