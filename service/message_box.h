#pragma once

#include <string_view>

namespace zen {

// A service has no desktop to show a box on: the box becomes a line on standard error,
// "<caption>: <text>", and an entry in the error log.
void ShowServiceMessage(int stringId, std::string_view caption);

}  // namespace zen
