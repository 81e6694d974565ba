#include "common/mail/base64.h"

#include <openssl/evp.h>

namespace zen {
namespace {

// 26 groups of 3 bytes fill one attachment line.
constexpr std::size_t kBytesPerLine = 78;

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
    std::string out;
    const std::size_t chunk = lineBreaks ? kBytesPerLine : bytes.size();
    for (std::size_t offset = 0; offset < bytes.size(); offset += chunk) {
        if (offset > 0) {
            out += "\r\n";
        }
        AppendEncoded(out, bytes.substr(offset, chunk));
    }
    return out;
}

}  // namespace zen
