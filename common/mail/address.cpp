#include "common/mail/address.h"

namespace zen {
namespace {

std::string_view DropOneTrailingBlank(std::string_view text) {
    if (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

// A line break inside an address would let the text smuggle in SMTP commands or headers.
bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != text.npos;
}

}  // namespace

MailAddress ParseMailAddress(std::string_view text) {
    const std::size_t open = text.find('<');
    const std::size_t close = text.find('>');
    MailAddress result;
    if (open == text.npos && close == text.npos) {
        result.address = text;
    } else if (open != text.npos && close != text.npos && open < close) {
        result.address = text.substr(open + 1, close - open - 1);
        if (open == 0) {
            // "<address> Name": the name starts after the blank that follows ">".
            const std::size_t nameStart = close + 2;
            if (nameStart < text.size()) {
                result.name = DropOneTrailingBlank(text.substr(nameStart));
            }
        } else {
            result.name = DropOneTrailingBlank(text.substr(0, open));
        }
    }
    if (HasLineBreak(result.address)) {
        result.address.clear();
    }
    return result;
}

}  // namespace zen
