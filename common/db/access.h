#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "common/db/category.h"
#include "common/db/db_manager.h"
#include "common/db/records.h"
#include "common/db/rules_model.h"
#include "platform/local_time.h"
#include "platform/named_mutex.h"

namespace zen {

inline constexpr uint16_t kTrustedMode = 1;
inline constexpr uint16_t kControlledMode = 2;

// What the network filter and the control panel log when a user name is a group's.
inline constexpr char kCheckLimitsUserIsGroup[] = "ZenCheckTimeLimits(): error : CurUser is Group";
inline constexpr char kTimeOnlineUserIsGroup[] =
    "CDlgDailyTimeLimits::GetTimeOnline() : error : CurUser is Group";

// The quarter hour of a moment: hour * 4 + quarter, where minutes 0-15 are quarter 0, 16-30
// quarter 1, 31-45 quarter 2 and 46-59 quarter 3.
int SlotIndex(int hour, int minute);

// Whether the timetable allows the moment (its weekday and quarter hour).
bool IsAllowedAt(const Timetable& timetable, const LocalTime& moment);
bool IsAllowedNow(const Timetable& timetable);

// Whether the category may be used at the moment under a copy of the rules in force;
// `clockLock` is the options' clock lock, which closes the Internet.
bool CategoryAllowedAt(const FastUsersRecord& rules, bool clockLock, Category category,
                       const LocalTime& moment);
bool CategoryAllowedNow(const FastUsersRecord& rules, bool clockLock, Category category);

// The program entry of `mode` that belongs to `owner` (under NameCompare) and names the
// program: by checksum when it is known, else by full path.
std::optional<FastCustomRecord> FindProgramEntry(CustomsTable& customs, uint16_t mode,
                                                 std::u16string_view owner,
                                                 std::u16string_view path, uint32_t checksum);

// An entry allows unless it carries its own timetable and that forbids the moment.
bool EntryAllowsAt(const FastCustomRecord& entry, const LocalTime& moment);

// The network filter's decision for a program: Disable, the clock lock, the trusted entry of
// "All Users", then the group's trusted entry, then the Internet category.
bool InternetAllowedNow(const FastUsersRecord& rules, bool clockLock, CustomsTable& customs,
                        std::u16string_view path, uint32_t checksum);

// The programs manager's decision for a controlled entry it found for a running program.
bool ControlledProgramAllowedNow(const FastUsersRecord& rules, const FastCustomRecord& entry);

struct DailyLimitResult {
    bool reached = false;
    uint32_t minutesUsed = 0;  // as counted or read; 0 when nothing was looked at
};

// Counts one minute of use of the pair (user, category seed) at most every 61 seconds and
// tells whether today's limit (limits[weekday]) is used up. Runs entirely under the state
// mutex, so any number of processes count each minute once.
DailyLimitResult CheckDailyLimit(NamedMutex& stateMutex, bool enable, std::u16string_view user,
                                 uint32_t seed, const uint32_t (&limits)[7]);

// The group record of `user` in the users table. Nothing when the user is unknown, is a
// group (then `groupMessage` is logged, when given), or its group cannot be found.
std::optional<FastUsersRecord> GroupOf(UsersTable& users, std::u16string_view user,
                                       const char* groupMessage);

// CheckDailyLimit under a rules record: a disabled record limits nothing and counts nothing;
// otherwise the category's limit block decides.
DailyLimitResult CheckRulesDailyLimit(NamedMutex& stateMutex, const FastUsersRecord& rules,
                                      std::u16string_view user, Category category);

// CheckRulesDailyLimit with the user's group from the users table, for the callers that hold
// no rules record for the user (Program, Internet). Within the limit when there is none.
DailyLimitResult CheckGroupDailyLimit(UsersTable& users, NamedMutex& stateMutex,
                                      std::u16string_view user, Category category,
                                      const char* groupMessage);

// The service's count of a minute in which the kernel saw the user's traffic: one more minute
// once the last counted one is 60 s old (the first of a new day is 1), under the state mutex,
// so that a minute the filter counted in the meantime is not counted again. The minutes
// counted today.
uint32_t CountKernelMinute(NamedMutex& stateMutex, std::u16string_view user, Category category);

// Whether today's limit of the category is used up for the user under the group's rules: all
// of today's minutes counted and the last of them over. False when no limit applies.
bool DailyLimitUsedUp(NamedMutex& stateMutex, const FastUsersRecord& rules,
                      std::u16string_view user, Category category);

// Minutes of the category the user has used today; 0 when the group's limit is not enabled,
// or the counter is absent or of another day. Never writes.
uint32_t MinutesUsedToday(UsersTable& users, NamedMutex& stateMutex, std::u16string_view user,
                          Category category);

// Minutes counted for the user and category on the local day of the year `yearDay`, whatever
// the limits say; 0 when the counter is absent or of another day. Never writes.
uint32_t MinutesCountedOn(NamedMutex& stateMutex, std::u16string_view user, Category category,
                          int yearDay);

}  // namespace zen
