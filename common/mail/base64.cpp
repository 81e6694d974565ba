#include "common/mail/base64.h"

#include <openssl/evp.h>

namespace zen {
namespace {

// The line counter grows by 3 per group of 3 bytes and a line ends after the group that
// takes it above 75: after 26 groups, that is 78 bytes of input.
constexpr std::size_t kBytesPerLine = 78;
constexpr std::size_t kGroupsBeyondCounterLimit = 26;

void AppendEncoded(std::string& out, std::string_view bytes) {
    const std::size_t start = out.size();
    out.resize(start + 4 * ((bytes.size() + 2) / 3) + 1);
    const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data() + start),
                                        reinterpret_cast<const unsigned char*>(bytes.data()),
                                        static_cast<int>(bytes.size()));
    out.resize(start + static_cast<std::size_t>(written));
}

}  // namespace

std::string Base64Encode(std::string_view bytes, bool lineBreaks) {
    if (!lineBreaks) {
        std::string out;
        AppendEncoded(out, bytes);
        return out;
    }
    std::string out;
    for (std::size_t offset = 0; offset < bytes.size(); offset += kBytesPerLine) {
        const std::string_view line = bytes.substr(offset, kBytesPerLine);
        AppendEncoded(out, line);
        // A last group filled with "=" counts as a whole one, so 76 and 77 bytes end a line too.
        if ((line.size() + 2) / 3 == kGroupsBeyondCounterLimit) {
            out += "\r\n";
        }
    }
    return out;
}

}  // namespace zen
