#pragma once

#include <string>
#include <string_view>

namespace zen {

// Standard Base64 with "=" fill. With line breaks (attachments) a line holds 26 groups
// (104 characters) and every full line, the last one too, ends with CR LF; a shorter last
// line has none. Without line breaks (credentials) the text is one line.
std::string Base64Encode(std::string_view bytes, bool lineBreaks);

}  // namespace zen
