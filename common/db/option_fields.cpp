#include "common/db/option_fields.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "platform/text.h"

namespace zen {
namespace {

using Kind = OptionField::Kind;

constexpr OptionField Number(std::string_view name, uint32_t Options::*field, uint32_t max) {
    return {name, Kind::Number, max, 0, field, nullptr, nullptr};
}

constexpr OptionField Flag(std::string_view name, uint32_t Options::*field) {
    return {name, Kind::Flag, 1, 0, field, nullptr, nullptr};
}

// The text limits are those of the panel's edits, so a value set here can be edited there.
template <auto Member>
constexpr OptionField Text(std::string_view name, std::size_t units) {
    return {name,
            Kind::Text,
            0,
            units,
            nullptr,
            [](const Options& o) -> std::u16string_view { return FieldText(o.*Member); },
            [](Options& o, std::u16string_view v) { SetFieldText(o.*Member, v); }};
}

const std::array kFields{
    Number("WarningsSize", &Options::WarningsSize, UINT32_MAX),
    Number("ActivitySize", &Options::ActivitySize, UINT32_MAX),
    Text<&Options::SMTPServer>("SMTPServer", 38),
    Number("Port", &Options::Port, 65535),
    Text<&Options::SMTPTo>("SMTPTo", 150),
    Text<&Options::SMTPFrom>("SMTPFrom", 38),
    Text<&Options::EMailName>("EMailName", 23),
    Flag("SendNotificationEMail", &Options::SendNotificationEMail),
    Flag("SendDailyReport", &Options::SendDailyReport),
    Flag("EnableServerAuthentication", &Options::EnableServerAuthentication),
    Number("TimeFormat", &Options::TimeFormat, 1),
    Number("SelectionType", &Options::SelectionType, 2),
    Flag("toolTipsOff", &Options::toolTipsOff),
    Flag("clockLock", &Options::clockLock),
};

char ToLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return ToLower(x) == ToLower(y); });
}

// Plain decimal digits only: no sign, no blanks, no base prefix.
bool ParseDecimal(std::string_view text, uint32_t& value) {
    if (text.empty() ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

bool ParseFlagWord(std::string_view text, uint32_t& value) {
    for (const auto& [word, flag] :
         {std::pair{"on", 1u}, std::pair{"yes", 1u}, std::pair{"true", 1u}, std::pair{"off", 0u},
          std::pair{"no", 0u}, std::pair{"false", 0u}}) {
        if (EqualNoCase(text, word)) {
            value = flag;
            return true;
        }
    }
    return false;
}

}  // namespace

std::span<const OptionField> OptionFields() {
    return kFields;
}

const OptionField* FindOptionField(std::string_view name) {
    const auto found = std::find_if(kFields.begin(), kFields.end(), [&](const OptionField& f) {
        return EqualNoCase(f.name, name);
    });
    return found == kFields.end() ? nullptr : &*found;
}

std::u16string OptionValueText(const Options& options, const OptionField& field) {
    if (field.kind == Kind::Text) {
        return std::u16string(field.text(options));
    }
    return Utf8ToUtf16(std::to_string(options.*field.number));
}

EditStatus SetOptionValue(Options& options, const OptionField& field, std::u16string_view value) {
    if (field.kind == Kind::Text) {
        if (value.size() > field.maxUnits) {
            return EditStatus::TooLong;
        }
        field.setText(options, value);
        return EditStatus::Done;
    }
    const std::string text = Utf16ToUtf8(value);
    uint32_t number = 0;
    const bool parsed =
        ParseDecimal(text, number) || (field.kind == Kind::Flag && ParseFlagWord(text, number));
    if (!parsed || number > field.maxValue) {
        return EditStatus::OutOfRange;
    }
    options.*field.number = number;
    return EditStatus::Done;
}

}  // namespace zen
