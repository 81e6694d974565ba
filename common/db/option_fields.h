#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/db/records.h"
#include "common/db/rules_editor.h"

namespace zen {

// The options an administrator may read and set by name: every field that is not a secret
// (the passwords) and not the system's own bookkeeping (last report time, device state).
// Names are the record's field names.
struct OptionField {
    enum class Kind { Number, Flag, Text };

    std::string_view name;
    Kind kind;
    uint32_t maxValue;     // Number and Flag: the largest value accepted
    std::size_t maxUnits;  // Text: the longest text accepted
    uint32_t Options::*number;
    std::u16string_view (*text)(const Options&);
    void (*setText)(Options&, std::u16string_view);
};

std::span<const OptionField> OptionFields();
// The field of that name, compared without regard to ASCII case; null when there is none.
const OptionField* FindOptionField(std::string_view name);

// The value as text: decimal for numbers and flags, the text itself for texts.
std::u16string OptionValueText(const Options& options, const OptionField& field);
// Parses `value` (decimal; a flag also takes on/off, yes/no, true/false) and stores it.
// OutOfRange or TooLong leaves the record unchanged.
EditStatus SetOptionValue(Options& options, const OptionField& field, std::u16string_view value);

}  // namespace zen
