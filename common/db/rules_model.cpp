#include "common/db/rules_model.h"

#include <algorithm>

#include "common/db/name_compare.h"
#include "platform/text.h"

namespace zen {

Timetable AllAllowed() {
    Timetable timetable{};
    for (auto& row : timetable.rows) {
        std::fill(row, row + Timetable::kSlots / 8, uint8_t{0xFF});
    }
    return timetable;
}

FastUsersRecord RulesDefault() {
    FastUsersRecord record{};
    std::fill(std::begin(record.timetables), std::end(record.timetables), AllAllowed());
    record.CDROM = record.Removable = record.Power = record.Internet = record.Program = 1;
    record.ShutDown = 1;
    for (TimeLimitsTable& block : record.limits) {
        std::fill(std::begin(block.minutes), std::end(block.minutes), 10u);
    }
    return record;
}

FastUsersRecord NamedDefault(std::u16string_view name) {
    FastUsersRecord record = RulesDefault();
    record.ShutDown = 0;
    record.WarnType = 2;
    record.TrustedAppList = 1;
    SetFieldText(record.name, name, kNameUnits);
    return record;
}

Options OptionsDefault() {
    Options options{};
    options.Port = 25;
    options.SelectionType = 1;
    options.WarningsSize = 1024;
    options.ActivitySize = 1024;
    return options;
}

namespace {

template <typename Match>
std::optional<FastUsersRecord> FirstWhere(UsersTable& users, Match match) {
    return users.WithRecords([&](const UsersTable::Set& records) {
        const auto found = std::find_if(records.begin(), records.end(), match);
        return found == records.end() ? std::optional<FastUsersRecord>() : *found;
    });
}

}  // namespace

std::optional<FastUsersRecord> FindUser(UsersTable& users, std::u16string_view name) {
    // A longer login is stored cut to the record's length, and is found by that cut name.
    const std::u16string_view stored = name.substr(0, kNameUnits);
    return FirstWhere(users, [&](const FastUsersRecord& record) {
        return NameCompare(FieldText(record.name), stored) == 0;
    });
}

std::optional<FastUsersRecord> FindGroupById(UsersTable& users, uint32_t id) {
    return FirstWhere(users, [&](const FastUsersRecord& record) {
        return record.ParentID == 0 && record.UserID == id;
    });
}

std::optional<FastUsersRecord> FindById(UsersTable& users, uint32_t id) {
    return FirstWhere(users, [&](const FastUsersRecord& record) { return record.UserID == id; });
}

std::u16string GroupNameOf(UsersTable& users, std::u16string_view userName) {
    const std::optional<FastUsersRecord> user = FindUser(users, userName);
    if (!user || user->ParentID == 0) {
        return {};
    }
    const std::optional<FastUsersRecord> group = FindGroupById(users, user->ParentID);
    return group ? std::u16string(FieldText(group->name)) : std::u16string();
}

uint32_t NextUserId(UsersTable& users) {
    return users.WithRecords([](const UsersTable::Set& records) {
        uint32_t largest = 0;
        for (const FastUsersRecord& record : records) {
            largest = std::max(largest, record.UserID);
        }
        return largest + 1;
    });
}

FastUsersRecord NewUser(UsersTable& users, std::u16string_view name) {
    FastUsersRecord record = RulesDefault();
    SetFieldText(record.name, name, kNameUnits);
    record.UserID = NextUserId(users);
    record.ParentID = kGuestsId;
    return record;
}

}  // namespace zen
