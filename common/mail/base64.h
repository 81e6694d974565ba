#pragma once

#include <string>
#include <string_view>

namespace zen {

// Standard Base64 with "=" fill. With line breaks (attachments) a line holds 26 groups
// (104 characters) and lines are separated by CR LF; without them the text is one line.
std::string Base64Encode(std::string_view bytes, bool lineBreaks);

}  // namespace zen
