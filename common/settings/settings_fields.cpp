#include "common/settings/settings_fields.h"

#include <charconv>
#include <cstdint>

namespace zen {
namespace {

template <typename Record>
using Attribute = SettingsAttribute<Record>;

// Where a text is cut to `maxUnits`: never between the two halves of a surrogate pair, which
// would leave half a character.
constexpr std::size_t CutPoint(std::u16string_view text, std::size_t maxUnits) {
    if (text.size() <= maxUnits) {
        return text.size();
    }
    const bool splitsPair =
        maxUnits > 0 && text[maxUnits - 1] >= 0xD800 && text[maxUnits - 1] <= 0xDBFF;
    return splitsPair ? maxUnits - 1 : maxUnits;
}

template <typename Record, auto Member>
constexpr Attribute<Record> Number(const char* name, uint32_t largestTaken = UINT32_MAX) {
    using Field = std::remove_cvref_t<decltype(std::declval<Record&>().*Member)>;
    return {
        name,
        sizeof(Field) == 2 ? Attribute<Record>::Kind::Unsigned16 : Attribute<Record>::Kind::Signed,
        [](const Record& record) { return static_cast<uint32_t>(record.*Member); },
        [](Record& record, uint32_t value) { record.*Member = static_cast<Field>(value); },
        nullptr,
        nullptr,
        largestTaken};
}

// `maxUnits` is the longest text taken, the field's terminator not counted.
template <typename Record, auto Member, std::size_t MaxUnits>
constexpr Attribute<Record> Text(const char* name) {
    return {name,
            Attribute<Record>::Kind::Text,
            nullptr,
            nullptr,
            [](const Record& record) { return FieldText(record.*Member); },
            [](Record& record, std::u16string_view text) {
                SetFieldText(record.*Member, text.substr(0, CutPoint(text, MaxUnits)));
            }};
}

template <TimetableSlot Slot>
constexpr Attribute<FastUsersRecord> LimitEnable(const char* name) {
    return {name,
            Attribute<FastUsersRecord>::Kind::Signed,
            [](const FastUsersRecord& record) { return record.limits[Slot].enable; },
            [](FastUsersRecord& record, uint32_t value) { record.limits[Slot].enable = value; },
            nullptr,
            nullptr};
}

using O = Options;
constexpr Attribute<Options> kOptions[] = {
    Number<O, &O::WarningsSize>("WarningsSize"),
    Number<O, &O::ActivitySize>("ActivitySize"),
    Text<O, &O::SMTPServer, 39>("SMTPServer"),
    Number<O, &O::Port>("Port"),
    Text<O, &O::SMTPTo, 151>("SMTPTo"),
    Text<O, &O::SMTPFrom, 39>("SMTPFrom"),
    Text<O, &O::EMailName, 24>("EMailName"),
    Number<O, &O::SendNotificationEMail>("SendNotificationEMail"),
    Number<O, &O::SendDailyReport>("SendDailyReport"),
    Number<O, &O::EnableServerAuthentication>("EnableServerAuthentication"),
    // Only the formats and selections the panel knows are taken.
    Number<O, &O::TimeFormat>("TimeFormat", 1),
    Number<O, &O::SelectionType>("SelectionType", 2),
};

using U = FastUsersRecord;
constexpr Attribute<FastUsersRecord> kUser[] = {
    Text<U, &U::name, 24>("UserID"),
    Number<U, &U::UserID>("ID"),
    Number<U, &U::ParentID>("ParentID"),
    Number<U, &U::Disable>("Disable"),
    Number<U, &U::CDROM>("CDROM"),
    Number<U, &U::Removable>("Removable"),
    Number<U, &U::Power>("Power"),
    Number<U, &U::Internet>("Internet"),
    Number<U, &U::Program>("Program"),
    Number<U, &U::ShutDown>("ShutDown"),
    Number<U, &U::EnableWarning>("EnableWarning"),
    Number<U, &U::WarnType>("WarnType"),
    Number<U, &U::ShowCustomWarning>("ShowCustomWarning"),
    Text<U, &U::CustomWarning, 127>("CustomWarning"),
    LimitEnable<kCdromSlot>("TimeLimitsCDROMEnable"),
    LimitEnable<kRemovableSlot>("TimeLimitsRemovableEnable"),
    LimitEnable<kPowerSlot>("TimeLimitsPowerEnable"),
    LimitEnable<kInternetSlot>("TimeLimitsInternetEnable"),
    LimitEnable<kProgramSlot>("TimeLimitsProgramEnable"),
    Number<U, &U::TrustedAppList>("TrustedAppList"),
    Number<U, &U::PermittedAppList>("PermittedAppList"),
    Number<U, &U::BlockedAppList>("BlockedAppList"),
};

using C = FastCustomRecord;
constexpr Attribute<FastCustomRecord> kCustom[] = {
    Number<C, &C::Mode>("Mode"),
    Text<C, &C::UserID, 24>("UserID"),
    Number<C, &C::dwVal>("dwVal"),
    Text<C, &C::szVal, 259>("szVal"),
    Number<C, &C::TimetableState>("TimetableState"),
    Number<C, &C::TimeLimitsEnable>("TimeLimitsEnable"),
};

constexpr NamedSlot kTimetableNames[] = {
    {"Timetable", kCommonSlot},  {"CDROM", kCdromSlot}, {"Removable", kRemovableSlot},
    {"Internet", kInternetSlot}, {"Power", kPowerSlot}, {"Program", kProgramSlot},
};
constexpr NamedSlot kLimitNames[] = {
    {"CDROM", kCdromSlot}, {"Removable", kRemovableSlot}, {"Internet", kInternetSlot},
    {"Power", kPowerSlot}, {"Program", kProgramSlot},
};

}  // namespace

template <>
std::span<const SettingsAttribute<Options>> SettingsAttributesOf() {
    return kOptions;
}
template <>
std::span<const SettingsAttribute<FastUsersRecord>> SettingsAttributesOf() {
    return kUser;
}
template <>
std::span<const SettingsAttribute<FastCustomRecord>> SettingsAttributesOf() {
    return kCustom;
}
std::span<const NamedSlot> UserTimetableNames() {
    return kTimetableNames;
}
std::span<const NamedSlot> UserLimitNames() {
    return kLimitNames;
}

std::string SignedText(uint32_t value) {
    return std::to_string(static_cast<int32_t>(value));
}

std::optional<uint32_t> ParseSettingsNumber(std::string_view text) {
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        value < INT32_MIN || value > int64_t{UINT32_MAX}) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

std::optional<uint32_t> ParseUnsigned(std::string_view text, uint32_t limit) {
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > limit) {
        return std::nullopt;
    }
    return value;
}

}  // namespace zen
