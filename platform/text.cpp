#include "platform/text.h"

namespace zen {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at `pos`; nothing for an ill-formed sequence (which then covers one
// byte).
std::optional<char32_t> DecodeUtf8(std::string_view text, std::size_t& pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    int length = 0;
    char32_t point = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, point = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, point = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, point = lead & 0x07, minimum = 0x10000;
    } else {
        ++pos;
        return std::nullopt;
    }
    if (pos + length > text.size()) {
        ++pos;
        return std::nullopt;
    }
    for (int i = 1; i < length; ++i) {
        const unsigned char next = byte(pos + i);
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return std::nullopt;
        }
        point = (point << 6) | (next & 0x3F);
    }
    if (point < minimum || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
        ++pos;
        return std::nullopt;
    }
    pos += length;
    return point;
}

void AppendUtf16(std::u16string& out, char32_t point) {
    if (point < 0x10000) {
        out.push_back(static_cast<char16_t>(point));
    } else {
        point -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (point >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (point & 0x3FF)));
    }
}

void AppendUtf8(std::string& out, char32_t point) {
    if (point < 0x80) {
        out.push_back(static_cast<char>(point));
    } else if (point < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (point >> 6)));
        out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else if (point < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (point >> 12)));
        out.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (point >> 18)));
        out.push_back(static_cast<char>(0x80 | ((point >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    }
}

// Decodes one code point at `pos`; nothing for an unpaired surrogate.
std::optional<char32_t> DecodeUtf16(std::u16string_view text, std::size_t& pos) {
    const char16_t unit = text[pos++];
    if (unit < 0xD800 || unit > 0xDFFF) {
        return unit;
    }
    if (unit <= 0xDBFF && pos < text.size() && text[pos] >= 0xDC00 && text[pos] <= 0xDFFF) {
        const char16_t low = text[pos++];
        return 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (low - 0xDC00);
    }
    return std::nullopt;
}

template <typename Out, typename In, typename Decode, typename Append>
std::optional<Out> Convert(In text, bool strict, Decode decode, Append append) {
    Out out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const std::optional<char32_t> point = decode(text, pos);
        if (!point && strict) {
            return std::nullopt;
        }
        append(out, point.value_or(kReplacement));
    }
    return out;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
    return *Convert<std::u16string>(text, false, DecodeUtf8, AppendUtf16);
}

std::string Utf16ToUtf8(std::u16string_view text) {
    return *Convert<std::string>(text, false, DecodeUtf16, AppendUtf8);
}

std::optional<std::u16string> Utf8ToUtf16Strict(std::string_view text) {
    return Convert<std::u16string>(text, true, DecodeUtf8, AppendUtf16);
}

std::optional<std::string> Utf16ToUtf8Strict(std::u16string_view text) {
    return Convert<std::string>(text, true, DecodeUtf16, AppendUtf8);
}

}  // namespace zen
