#pragma once

#include <string>
#include <string_view>

namespace zen {

// Makes a plain-text body safe to carry in an SMTP transaction: every line ends in CR LF,
// no line is longer than 998 characters (broken after a blank where one is near) and every
// line that starts with "." gets a second one, which the server removes again.
std::string NormalizeBody(std::string_view body);

}  // namespace zen
