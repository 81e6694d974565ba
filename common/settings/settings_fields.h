#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "common/db/records.h"
#include "platform/text.h"

namespace zen {

// One attribute of the settings file and the record field behind it, in the order the file
// writes them.
template <typename Record>
struct SettingsAttribute {
    enum class Kind {
        Signed,      // 32 bits, written as signed decimal
        Unsigned16,  // 16 bits, written as unsigned decimal
        Text,        // a fixed text field
    };

    const char* name;
    Kind kind;
    uint32_t (*get)(const Record&);
    void (*set)(Record&, uint32_t);
    std::u16string_view (*getText)(const Record&);
    void (*setText)(Record&, std::u16string_view);  // cuts to the field's width
    uint32_t largestTaken = UINT32_MAX;             // a number above it is ignored on import
};

// The attributes of Options, FastUsersRecord and FastCustomRecord.
template <typename Record>
std::span<const SettingsAttribute<Record>> SettingsAttributesOf();
template <>
std::span<const SettingsAttribute<Options>> SettingsAttributesOf();
template <>
std::span<const SettingsAttribute<FastUsersRecord>> SettingsAttributesOf();
template <>
std::span<const SettingsAttribute<FastCustomRecord>> SettingsAttributesOf();

// A user's six timetables and five daily-limit tables, by their "name" attribute.
struct NamedSlot {
    const char* name;
    TimetableSlot slot;
};
std::span<const NamedSlot> UserTimetableNames();
std::span<const NamedSlot> UserLimitNames();

// The number texts: signed decimal for every number but Mode.
std::string SignedText(uint32_t value);
// Parses a signed decimal that fits 32 bits either way (-2^31 .. 2^32-1) and keeps it modulo
// 2^32, so that what an export wrote comes back unchanged; nothing for any other text.
std::optional<uint32_t> ParseSettingsNumber(std::string_view text);
// Parses an unsigned decimal in 0..limit.
std::optional<uint32_t> ParseUnsigned(std::string_view text, uint32_t limit);

}  // namespace zen
