#pragma once

#include "platform/system_actions.h"

namespace zen {

// The session at the console now, as an action armed now must remember it: logind's active
// session of seat0 (when logind is in scope, see LogindInScope) and the console user's name.
// The id is "" when logind cannot tell one; the user "" when nobody is at the console.
SessionRef ConsoleSession();

}  // namespace zen
