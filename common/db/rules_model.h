#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "common/db/fast_table.h"
#include "common/db/records.h"

namespace zen {

using UsersTable = FastTable<FastUsersRecord>;

// The built-in groups.
inline constexpr uint32_t kAdministratorsId = 1;
inline constexpr uint32_t kUsersId = 2;
inline constexpr uint32_t kGuestsId = 3;
inline constexpr std::u16string_view kAllUsers = u"All Users";
inline constexpr std::size_t kNameUnits = 24;

// A timetable with every quarter hour of the week allowed.
Timetable AllAllowed();

// For a new user and to reset the rules in force: everything allowed, every category under
// its own timetable, daily limits of 10 minutes switched off, log off at the end of time.
FastUsersRecord RulesDefault();
// For the built-in groups and look-up keys: as RulesDefault, but ShutDown 0, WarnType 2,
// TrustedAppList 1, and the name given.
FastUsersRecord NamedDefault(std::u16string_view name);
Options OptionsDefault();

// Look-ups over the users table, each under the table's mutex.
std::optional<FastUsersRecord> FindUser(UsersTable& users, std::u16string_view name);
std::optional<FastUsersRecord> FindGroupById(UsersTable& users, uint32_t id);
std::optional<FastUsersRecord> FindById(UsersTable& users, uint32_t id);
std::u16string GroupNameOf(UsersTable& users, std::u16string_view userName);
uint32_t NextUserId(UsersTable& users);
// A user from the rules default with the next free UserID, in "Guests".
FastUsersRecord NewUser(UsersTable& users, std::u16string_view name);

}  // namespace zen
