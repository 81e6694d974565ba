#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zen {

// Stored texts are UTF-16; everything that meets the operating system is UTF-8.
// The lenient conversions replace what cannot be converted with U+FFFD; the strict ones give
// nothing instead.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
std::optional<std::u16string> Utf8ToUtf16Strict(std::string_view text);
std::optional<std::string> Utf16ToUtf8Strict(std::u16string_view text);

// The text of a fixed, zero-terminated UTF-16 field (up to its first zero unit).
template <std::size_t N>
std::u16string_view FieldText(const char16_t (&field)[N]) {
    const char16_t* end = std::find(field, field + N, u'\0');
    return {field, static_cast<std::size_t>(end - field)};
}

// Stores `text` into a fixed field, cut to `maxUnits` code units (and always to N - 1, so the
// terminator fits); the rest of the field is zeroed.
template <std::size_t N>
void SetFieldText(char16_t (&field)[N], std::u16string_view text, std::size_t maxUnits = N - 1) {
    const std::size_t count = std::min({text.size(), maxUnits, N - 1});
    std::fill(std::copy_n(text.begin(), count, field), field + N, u'\0');
}

}  // namespace zen
