#include "common/mail/body.h"

namespace zen {
namespace {

constexpr std::size_t kMaxLine = 998;

bool IsUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Where an over-long line is cut: after the last blank within it, otherwise at the limit,
// moved back so that no UTF-8 sequence is split.
std::size_t CutPoint(std::string_view line) {
    const std::size_t blank = line.rfind(' ', kMaxLine - 1);
    if (blank != line.npos && blank > 0) {
        return blank + 1;
    }
    std::size_t cut = kMaxLine;
    while (cut > kMaxLine - 3 && IsUtf8Continuation(line[cut])) {
        --cut;
    }
    return cut;
}

void AppendPiece(std::string& out, std::string_view piece) {
    if (!piece.empty() && piece.front() == '.') {
        out += '.';
    }
    out += piece;
}

void AppendLine(std::string& out, std::string_view line) {
    while (line.size() > kMaxLine) {
        const std::size_t cut = CutPoint(line);
        AppendPiece(out, line.substr(0, cut));
        out += "\r\n";
        line.remove_prefix(cut);
    }
    AppendPiece(out, line);
}

}  // namespace

std::string NormalizeBody(std::string_view body) {
    std::string out;
    out.reserve(body.size() + body.size() / 32);
    while (!body.empty()) {
        const std::size_t end = body.find_first_of("\r\n");
        AppendLine(out, body.substr(0, end));
        if (end == body.npos) {
            break;
        }
        out += "\r\n";
        // CR LF, a lone LF and a lone CR all end a line.
        const bool crlf = body[end] == '\r' && end + 1 < body.size() && body[end + 1] == '\n';
        body.remove_prefix(end + (crlf ? 2 : 1));
    }
    return out;
}

}  // namespace zen
