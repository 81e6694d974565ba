// Timetables and daily limits of a group's categories.
#include <algorithm>
#include <cstdio>

#include "common/db/rules_model.h"
#include "tools/zenctl/commands.h"
#include "tools/zenctl/input_checks.h"
#include "tools/zenctl/rule_syntax.h"

namespace zen::ctl {
namespace {

std::string ClockText(int slot) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d", slot / 4, slot % 4 * 15);
    return text;
}

void RunRange(Session& session, const Words& words, bool allowed) {
    const std::u16string group = NameWord(words[0]);
    const Category category = ParseCategory(words[1]);
    const uint8_t days = ParseDays(words[2]);
    const SlotRange range = words.size() > 3 ? ParseTimeRange(words[3]) : SlotRange{0, 96};
    const std::string hours = range.from == 0 && range.to == 96
                                  ? "all day"
                                  : "from " + ClockText(range.from) + " to " + ClockText(range.to);
    const std::string done = words[0] + ": " + std::string(CategoryName(category)) + " is " +
                             (allowed ? "allowed " : "forbidden ") + DaysPhrase(days) + ", " +
                             hours + ", in its own timetable.";
    session.Finish(
        SetTimetableRange(session.Admin(), group, category, days, range.from, range.to, allowed),
        words[0], done);
}

// A number of minutes, also a negative one, which is then refused as a number.
bool LooksLikeMinutes(std::string_view word) {
    if (word.starts_with('-')) {
        word.remove_prefix(1);
    }
    return !word.empty() &&
           std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The minutes of each day now stored for the group's category, for the message.
std::string MinutesInForce(CDBManager& db, std::u16string_view group, Category category) {
    const auto record = FindUser(db.Users(), group);
    if (!record) {
        return "";
    }
    const TimeLimitsTable& block = record->limits[RulesOf(category).slot];
    std::string text;
    for (int day = 0; day < 7; ++day) {
        text += (day == 0 ? ": " : ", ") + std::string(WeekdayName(day)) + " " +
                std::to_string(block.minutes[day]);
    }
    return text + " minutes";
}

}  // namespace

void RunTimetable(Session& session, const Words& words) {
    const std::u16string group = NameWord(words[0]);
    const Category category = ParseCategory(words[1]);
    const bool on = ParseSwitch(words[2]);
    session.Finish(SetTimetableMode(session.Admin(), group, category, on ? 1 : 0), words[0],
                   words[0] + ": the " + std::string(CategoryName(category)) + " timetable is " +
                       (on ? "on." : "off."));
}

void RunAllow(Session& session, const Words& words) {
    RunRange(session, words, true);
}

void RunForbid(Session& session, const Words& words) {
    RunRange(session, words, false);
}

void RunLimit(Session& session, const Words& words) {
    const std::u16string group = NameWord(words[0]);
    const Category category = ParseCategory(words[1]);
    const std::string what =
        words[0] + ": the daily " + std::string(CategoryName(category)) + " limit is ";
    if (!LooksLikeMinutes(words[2])) {
        if (words.size() > 3) {
            throw CommandError(kExitUsage, "days are given only with minutes");
        }
        const bool on = ParseSwitch(words[2]);
        CDBManager& db = session.Admin();
        const EditStatus status = SetLimitEnabled(db, group, category, on);
        session.Finish(status, words[0],
                       what + (on ? "on" + MinutesInForce(db, group, category) + "." : "off."));
        return;
    }
    const uint32_t minutes = ParseNumber(words[2], kMaxDailyMinutes, "minutes");
    const uint8_t days = words.size() > 3 ? ParseDays(words[3]) : uint8_t{0x7F};
    session.Finish(SetLimitMinutes(session.Admin(), group, category, days, minutes), words[0],
                   what + words[2] + " minutes " + DaysPhrase(days) +
                       " (it counts only while the limit is on).");
}

}  // namespace zen::ctl
