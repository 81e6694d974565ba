#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zen {

// The questions of the removal, asked on the terminal that runs it (standard input).
// Without a terminal there is nobody to ask: the answer is no.

// A yes/no question; true only for an answer that begins with 'y' or 'Y'.
bool AskYesNo(std::string_view caption, std::string_view question);

// Asks for a file name, offering `proposed`; an empty answer takes the proposal. Nothing
// without a terminal or at the end of input.
std::optional<std::string> AskFileName(std::string_view prompt, std::string_view proposed);

}  // namespace zen
