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

constexpr OptionField Checked(OptionField field, std::string_view (*problem)(std::u16string_view)) {
    field.problem = problem;
    return field;
}

std::string_view PortProblem(std::u16string_view value) {
    const bool zero = !value.empty() &&
                      std::all_of(value.begin(), value.end(), [](char16_t c) { return c == u'0'; });
    return zero ? "port 0 reaches no server; use 1 to 65535 (25, 465 or 587)" : "";
}

// "host:port" and "[address]:port" carry a port; an IPv6 address has two colons or more.
std::string_view ServerProblem(std::u16string_view value) {
    const auto colons = std::count(value.begin(), value.end(), u':');
    if (colons == 1 || (colons > 1 && value.starts_with(u'['))) {
        return "give the server's name or address without a port, and the port with the "
               "option Port";
    }
    if (std::any_of(value.begin(), value.end(), [](char16_t c) { return c <= u' '; })) {
        return "a server name holds no blanks or control characters";
    }
    return "";
}

const std::array kFields{
    Number("WarningsSize", &Options::WarningsSize, UINT32_MAX),
    Number("ActivitySize", &Options::ActivitySize, UINT32_MAX),
    Checked(Text<&Options::SMTPServer>("SMTPServer", 38), ServerProblem),
    Checked(Number("Port", &Options::Port, 65535), PortProblem),
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

template <auto Member>
constexpr SecretField Secret(std::string_view name, std::size_t units) {
    return {name, units,
            [](const Options& o) -> std::u16string_view { return FieldText(o.*Member); },
            [](Options& o, std::u16string_view v) { SetFieldText(o.*Member, v); }};
}

// As long as the panel's password edits take.
const std::array kSecrets{
    Secret<&Options::serverPassword>("serverPassword", 23),
    Secret<&Options::reportPassword>("reportPassword", 23),
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

const SecretField& ServerPasswordField() {
    return kSecrets[0];
}

const SecretField& ReportPasswordField() {
    return kSecrets[1];
}

std::span<const SecretField> SecretFields() {
    return kSecrets;
}

EditStatus SetSecretValue(Options& options, const SecretField& field, std::u16string_view value) {
    if (value.size() > field.maxUnits) {
        return EditStatus::TooLong;
    }
    field.setText(options, value);
    return EditStatus::Done;
}

std::u16string OptionValueText(const Options& options, const OptionField& field) {
    if (field.kind == Kind::Text) {
        return std::u16string(field.text(options));
    }
    return Utf8ToUtf16(std::to_string(options.*field.number));
}

std::string OptionValueProblem(const OptionField& field, std::u16string_view value) {
    return field.problem != nullptr ? std::string(field.problem(value)) : std::string();
}

EditStatus SetOptionValue(Options& options, const OptionField& field, std::u16string_view value) {
    if (!OptionValueProblem(field, value).empty()) {
        return EditStatus::OutOfRange;
    }
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
