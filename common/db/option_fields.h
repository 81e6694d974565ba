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
    // What is wrong with a value beyond its kind and size, or "" (null: nothing more).
    std::string_view (*problem)(std::u16string_view value) = nullptr;
};

std::span<const OptionField> OptionFields();

// The secrets of the options, which are set but never shown: the mail account's server
// password and the report archive's password. Names are the record's field names.
struct SecretField {
    std::string_view name;
    std::size_t maxUnits;
    std::u16string_view (*text)(const Options&);
    void (*setText)(Options&, std::u16string_view);
};
const SecretField& ServerPasswordField();
const SecretField& ReportPasswordField();
std::span<const SecretField> SecretFields();
// TooLong leaves the record unchanged.
EditStatus SetSecretValue(Options& options, const SecretField& field, std::u16string_view value);
// The field of that name, compared without regard to ASCII case; null when there is none.
const OptionField* FindOptionField(std::string_view name);

// The value as text: decimal for numbers and flags, the text itself for texts.
std::u16string OptionValueText(const Options& options, const OptionField& field);
// Why `value` cannot be stored in the field ("" when it can): a port of 0 reaches no
// server, and a server name with ":port" is no host name (the port is the field Port).
std::string OptionValueProblem(const OptionField& field, std::u16string_view value);
// Parses `value` (decimal; a flag also takes on/off, yes/no, true/false) and stores it.
// OutOfRange or TooLong leaves the record unchanged.
EditStatus SetOptionValue(Options& options, const OptionField& field, std::u16string_view value);

}  // namespace zen
