// Timetables and daily limits of a group's categories.
#include <algorithm>

#include "tools/zenctl/commands.h"
#include "tools/zenctl/rule_syntax.h"

namespace zen::ctl {
namespace {

void RunRange(Session& session, const Words& words, bool allowed) {
    const std::u16string group = Text16(words[0]);
    const Category category = ParseCategory(words[1]);
    const uint8_t days = ParseDays(words[2]);
    const SlotRange range = words.size() > 3 ? ParseTimeRange(words[3]) : SlotRange{0, 96};
    const std::string done = words[0] + ": " + std::string(CategoryName(category)) + " " +
                             (allowed ? "allowed" : "forbidden") + " on " + words[2] +
                             (words.size() > 3 ? " " + words[3] : std::string(" all day"));
    session.Finish(
        SetTimetableRange(session.Admin(), group, category, days, range.from, range.to, allowed),
        words[0], done);
}

bool AllDigits(const std::string& word) {
    return !word.empty() &&
           std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

void RunTimetable(Session& session, const Words& words) {
    const std::u16string group = Text16(words[0]);
    const Category category = ParseCategory(words[1]);
    const bool on = ParseSwitch(words[2]);
    session.Finish(SetTimetableMode(session.Admin(), group, category, on ? 1 : 0), words[0],
                   words[0] + ": " + std::string(CategoryName(category)) + " timetable " +
                       (on ? "on" : "off"));
}

void RunAllow(Session& session, const Words& words) {
    RunRange(session, words, true);
}

void RunForbid(Session& session, const Words& words) {
    RunRange(session, words, false);
}

void RunLimit(Session& session, const Words& words) {
    const std::u16string group = Text16(words[0]);
    const Category category = ParseCategory(words[1]);
    const std::string what =
        words[0] + ": " + std::string(CategoryName(category)) + " daily limit ";
    if (!AllDigits(words[2])) {
        if (words.size() > 3) {
            throw CommandError(kExitUsage, "days are given only with minutes");
        }
        const bool on = ParseSwitch(words[2]);
        session.Finish(SetLimitEnabled(session.Admin(), group, category, on), words[0],
                       what + (on ? "on" : "off"));
        return;
    }
    const uint32_t minutes = ParseNumber(words[2], kMaxDailyMinutes, "minutes");
    const uint8_t days = words.size() > 3 ? ParseDays(words[3]) : uint8_t{0x7F};
    session.Finish(SetLimitMinutes(session.Admin(), group, category, days, minutes), words[0],
                   what + words[2] + " minutes on " + (words.size() > 3 ? words[3] : "all days"));
}

}  // namespace zen::ctl
