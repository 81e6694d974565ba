#include "common/db/access.h"

#include <algorithm>

#include "common/db/checksum.h"
#include "common/db/error_log.h"
#include "common/db/name_compare.h"
#include "common/db/usage_state.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace zen {
namespace {

// Seconds of use that make one counted minute.
constexpr int64_t kCountedMinute = 60;

}  // namespace

int SlotIndex(int hour, int minute) {
    // Each quarter ends on its last minute: 15 still belongs to the first, 16 opens the next.
    const int quarter = (minute > 0 ? minute - 1 : 0) / 15;
    return hour * 4 + quarter;
}

bool IsAllowedAt(const Timetable& timetable, const LocalTime& moment) {
    const int slot = SlotIndex(moment.hour, moment.minute);
    if (moment.weekday < 0 || moment.weekday >= Timetable::kDays || slot < 0 ||
        slot >= Timetable::kSlots) {
        return false;
    }
    return (timetable.rows[moment.weekday][slot / 8] >> (slot % 8) & 1) != 0;
}

bool IsAllowedNow(const Timetable& timetable) {
    return IsAllowedAt(timetable, BreakDownLocal(Now()));
}

bool CategoryAllowedAt(const FastUsersRecord& rules, bool clockLock, Category category,
                       const LocalTime& moment) {
    if (rules.Disable != 0) {
        return true;
    }
    if (category == Category::Internet && clockLock) {
        return false;
    }
    const CategoryRules where = RulesOf(category);
    const uint32_t mode = rules.*where.mode;
    if (mode == 0) {
        return true;
    }
    return IsAllowedAt(rules.timetables[mode == 1 ? where.slot : kCommonSlot], moment);
}

bool CategoryAllowedNow(const FastUsersRecord& rules, bool clockLock, Category category) {
    return CategoryAllowedAt(rules, clockLock, category, BreakDownLocal(Now()));
}

std::optional<FastCustomRecord> FindProgramEntry(CustomsTable& customs, uint16_t mode,
                                                 std::u16string_view owner,
                                                 std::u16string_view path, uint32_t checksum) {
    FastCustomRecord key{};
    key.Mode = mode;
    SetFieldText(key.UserID, owner);
    const std::u16string_view name = FieldText(key.UserID);
    // Without a checksum the path identifies the program.
    const bool byChecksum = checksum != 0;
    return customs.WithRecords([&](CustomsTable::Set& entries) -> std::optional<FastCustomRecord> {
        for (auto it = entries.lower_bound(key); it != entries.end() && it->Mode == mode; ++it) {
            if (NameCompare(FieldText(it->UserID), name) != 0) {
                continue;
            }
            if (byChecksum ? it->dwVal == checksum : NameCompare(FieldText(it->szVal), path) == 0) {
                return *it;
            }
        }
        return std::nullopt;
    });
}

bool EntryAllowsAt(const FastCustomRecord& entry, const LocalTime& moment) {
    return entry.TimetableState == 0 || IsAllowedAt(entry.timetable, moment);
}

bool InternetAllowedNow(const FastUsersRecord& rules, bool clockLock, CustomsTable& customs,
                        std::u16string_view path, uint32_t checksum) {
    if (rules.Disable != 0) {
        return true;
    }
    if (clockLock) {
        return false;
    }
    const LocalTime now = BreakDownLocal(Now());
    const auto everyone = FindProgramEntry(customs, kTrustedMode, kAllUsers, path, checksum);
    if (everyone && !EntryAllowsAt(*everyone, now)) {
        return false;
    }
    const auto group =
        FindProgramEntry(customs, kTrustedMode, FieldText(rules.name), path, checksum);
    if (group) {
        return EntryAllowsAt(*group, now);
    }
    return CategoryAllowedAt(rules, clockLock, Category::Internet, now);
}

bool ControlledProgramAllowedNow(const FastUsersRecord& rules, const FastCustomRecord& entry) {
    const LocalTime now = BreakDownLocal(Now());
    if (entry.TimetableState != 0) {
        return IsAllowedAt(entry.timetable, now);
    }
    return CategoryAllowedAt(rules, false, Category::Program, now);
}

DailyLimitResult CheckDailyLimit(NamedMutex& stateMutex, bool enable, std::u16string_view user,
                                 uint32_t seed, const uint32_t (&limits)[7]) {
    if (!enable) {
        return {};
    }
    StateLock lock(stateMutex, "CheckDailyLimit()");
    const uint32_t userCrc = StringCrc(user);
    const UsageCounterFile counter = LoadUsageRemembered(stateMutex, userCrc, seed).counter;
    const int64_t now = Now();
    const int64_t dayStart = counter.savedTime == 0 ? now : counter.savedTime;
    const LocalTime today = BreakDownLocal(now);
    uint32_t minutes = 1;
    uint32_t countTime = static_cast<uint32_t>(now);
    if (BreakDownLocal(dayStart).yearDay == today.yearDay) {
        const int64_t sinceCount = static_cast<int64_t>(countTime) - counter.lastCountTime;
        if (sinceCount >= -kCountedMinute && sinceCount < kCountedMinute) {
            return {false, counter.minutesUsed};
        }
        if (counter.minutesUsed >= limits[today.weekday]) {
            return {true, counter.minutesUsed};
        }
        minutes = counter.minutesUsed + 1;
        // Use without a pause carries the seconds past the minute into the next one, so that
        // checks at 5-second ticks count a minute every 60 s, not every 65 s. After a pause the
        // next minute starts now instead of being counted at once for the time away, and so
        // it does after the clock went back.
        if (sinceCount > 0 && sinceCount < 2 * kCountedMinute) {
            countTime = counter.lastCountTime + kCountedMinute;
        }
    }
    SaveUsage(stateMutex, countTime, minutes, userCrc, seed);
    return {false, minutes};
}

std::optional<FastUsersRecord> GroupOf(UsersTable& users, std::u16string_view user,
                                       const char* groupMessage) {
    const auto found = FindUser(users, user);
    if (!found) {
        return std::nullopt;
    }
    if (found->ParentID == 0) {
        if (groupMessage != nullptr) {
            LogError("%s", groupMessage);
        }
        return std::nullopt;
    }
    return FindById(users, found->ParentID);
}

DailyLimitResult CheckRulesDailyLimit(NamedMutex& stateMutex, const FastUsersRecord& rules,
                                      std::u16string_view user, Category category) {
    if (rules.Disable != 0) {
        return {};
    }
    const CategoryRules where = RulesOf(category);
    const TimeLimitsTable& block = rules.limits[where.slot];
    return CheckDailyLimit(stateMutex, block.enable != 0, user, where.seed, block.minutes);
}

DailyLimitResult CheckGroupDailyLimit(UsersTable& users, NamedMutex& stateMutex,
                                      std::u16string_view user, Category category,
                                      const char* groupMessage) {
    const auto group = GroupOf(users, user, groupMessage);
    if (!group) {
        return {};
    }
    return CheckRulesDailyLimit(stateMutex, *group, user, category);
}

namespace {

constexpr int64_t kMinuteSeconds = 60;

// Seconds since the counter's last counted minute, from its low 32 bits.
int64_t SinceLastCount(const UsageCounterFile& counter, int64_t now) {
    return static_cast<int64_t>(static_cast<uint32_t>(now)) - counter.lastCountTime;
}

}  // namespace

uint32_t CountKernelMinute(NamedMutex& stateMutex, std::u16string_view user, Category category) {
    StateLock lock(stateMutex, "CountKernelMinute()");
    const uint32_t userCrc = StringCrc(user);
    const uint32_t seed = RulesOf(category).seed;
    const UsageRead read = LoadUsageRemembered(stateMutex, userCrc, seed, false);
    const int64_t now = Now();
    uint32_t minutes = 1;
    if (read.loaded &&
        BreakDownLocal(read.counter.savedTime).yearDay == BreakDownLocal(now).yearDay) {
        const int64_t since = SinceLastCount(read.counter, now);
        if (since >= -kMinuteSeconds && since < kMinuteSeconds) {
            return read.counter.minutesUsed;
        }
        minutes = read.counter.minutesUsed + 1;
    }
    SaveUsage(stateMutex, static_cast<uint32_t>(now), minutes, userCrc, seed);
    return minutes;
}

bool DailyLimitUsedUp(NamedMutex& stateMutex, const FastUsersRecord& rules,
                      std::u16string_view user, Category category) {
    const TimeLimitsTable& block = rules.limits[RulesOf(category).slot];
    if (rules.Disable != 0 || block.enable == 0) {
        return false;
    }
    const int64_t now = Now();
    const LocalTime today = BreakDownLocal(now);
    const uint32_t limit = block.minutes[today.weekday];
    const UsageRead read =
        LoadUsageRemembered(stateMutex, StringCrc(user), RulesOf(category).seed, false);
    if (!read.loaded || BreakDownLocal(read.counter.savedTime).yearDay != today.yearDay) {
        return limit == 0;
    }
    const uint32_t used = read.counter.minutesUsed;
    const int64_t since = SinceLastCount(read.counter, now);
    return used > limit || (used == limit && (since >= kMinuteSeconds || since < -kMinuteSeconds));
}

uint32_t MinutesUsedToday(UsersTable& users, NamedMutex& stateMutex, std::u16string_view user,
                          Category category) {
    const auto group = GroupOf(users, user, kTimeOnlineUserIsGroup);
    if (!group || group->limits[RulesOf(category).slot].enable == 0) {
        return 0;
    }
    return MinutesCountedOn(stateMutex, user, category, BreakDownLocal(Now()).yearDay);
}

uint32_t MinutesCountedOn(NamedMutex& stateMutex, std::u16string_view user, Category category,
                          int yearDay) {
    const UsageRead read =
        LoadUsageRemembered(stateMutex, StringCrc(user), RulesOf(category).seed, false);
    if (!read.loaded || BreakDownLocal(read.counter.savedTime).yearDay != yearDay) {
        return 0;
    }
    return read.counter.minutesUsed;
}

}  // namespace zen
