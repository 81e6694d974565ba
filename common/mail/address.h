#pragma once

#include <string>
#include <string_view>

namespace zen {

// One party of a message: the display name may be empty; an empty address means the text
// named no usable address.
struct MailAddress {
    std::string name;
    std::string address;
};

// Reads "Name <address>", "<address> Name" or a bare address. A text with only one of the
// angle brackets, or with a line break in its address, yields an empty address.
MailAddress ParseMailAddress(std::string_view text);

}  // namespace zen
