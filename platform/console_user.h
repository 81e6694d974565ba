#pragma once

#include <string>

namespace zen {

// The login name of the user at the machine's console, "" when nobody is logged on there or
// it cannot be told. Under a root other than "/" the file run/zentimo/seat (a user name)
// stands in for the seat; otherwise the first user process login on a local terminal or
// display in utmp.
std::string ConsoleUserName();

}  // namespace zen
