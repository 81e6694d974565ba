#pragma once

#include "platform/system_actions.h"

namespace zen {

// The session at the console now, as an action armed now must remember it: logind's active
// session of seat0 (when logind is in scope, see LogindInScope) and the console user's name.
// The user is "" when nobody is at the console, and then the id is "" too; the id is also ""
// when logind cannot tell one.
SessionRef ConsoleSession();

}  // namespace zen
