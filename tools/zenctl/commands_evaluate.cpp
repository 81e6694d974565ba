// What the rules say for a user: the timetable at a moment and the minutes used on its day.
// Nothing here counts a minute.
#include <cstdio>
#include <ostream>

#include "common/db/access.h"
#include "platform/clock.h"
#include "platform/local_time.h"
#include "platform/text.h"
#include "tools/zenctl/commands.h"
#include "tools/zenctl/rule_syntax.h"

namespace zen::ctl {
namespace {

struct Subject {
    FastUsersRecord record;  // the user, or the group itself
    FastUsersRecord rules;   // the group whose rules apply
    bool isUser;
};

Subject FindSubject(CDBManager& db, const std::string& word) {
    const auto record = FindUser(db.Users(), Text16(word));
    if (!record) {
        throw CommandError(kExitRefused, "\"" + word + "\": no such user or group");
    }
    if (record->ParentID == 0) {
        return {*record, *record, false};
    }
    const auto group = FindGroupById(db.Users(), record->ParentID);
    if (!group) {
        throw CommandError(kExitRefused, "\"" + word + "\": its group (UserID " +
                                             std::to_string(record->ParentID) +
                                             ") does not exist, so no rules apply");
    }
    return {*record, *group, true};
}

std::string MomentText(const LocalTime& t) {
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute);
    return std::string(WeekdayName(t.weekday)) + " " + text;
}

// The limit part of a check: null when no limit applies.
Json LimitJson(CDBManager& db, const Subject& subject, Category category, const LocalTime& at) {
    const TimeLimitsTable& block = subject.rules.limits[RulesOf(category).slot];
    if (block.enable == 0 || subject.rules.Disable != 0) {
        return Json();
    }
    const uint32_t limit = block.minutes[at.weekday];
    Json json = Json::Object().Set("minutes", limit);
    if (subject.isUser) {
        const uint32_t used =
            MinutesCountedOn(db.StateMutex(), FieldText(subject.record.name), category, at.yearDay);
        json.Set("used", used).Set("reached", used >= limit);
    }
    return json;
}

std::string Reason(const Subject& subject, bool clockLock, Category category, uint32_t mode) {
    if (subject.rules.Disable != 0) {
        return "filtering is disabled for the group";
    }
    if (category == Category::Internet && clockLock) {
        return "the Internet is locked since the clock was changed";
    }
    return mode == 0 ? "no timetable" : mode == 1 ? "own timetable" : "common timetable";
}

}  // namespace

void RunCheck(Session& session, const Words& words) {
    const Category category = ParseCategory(words[1]);
    const auto& at = session.invocation().at;
    const int64_t moment = at ? ParseMoment(*at, Now()) : Now();
    CDBManager& db = session.Db();
    const Subject subject = FindSubject(db, words[0]);
    const LocalTime local = BreakDownLocal(moment);
    const bool clockLock = db.OptionsCopy().clockLock != 0;
    const bool allowed = CategoryAllowedAt(subject.rules, clockLock, category, local);
    const uint32_t mode = subject.rules.*RulesOf(category).mode;
    const Json limit = LimitJson(db, subject, category, local);
    const Json json = Json::Object()
                          .Set("name", FieldText(subject.record.name))
                          .Set("group", FieldText(subject.rules.name))
                          .Set("category", CategoryName(category))
                          .Set("at", MomentText(local))
                          .Set("slot", SlotIndex(local.hour, local.minute))
                          .Set("mode", mode)
                          .Set("Disable", subject.rules.Disable)
                          .Set("clockLock", clockLock)
                          .Set("allowed", allowed)
                          .Set("reason", Reason(subject, clockLock, category, mode))
                          .Set("limit", limit);
    session.out().Emit(json, [&](std::ostream& out) {
        out << words[0] << " (" << Utf16ToUtf8(FieldText(subject.rules.name)) << "), "
            << CategoryName(category) << ", " << MomentText(local) << ": "
            << (allowed ? "allowed" : "forbidden") << " ("
            << Reason(subject, clockLock, category, mode) << ")\n";
        if (limit.type() == Json::Type::Null) {
            out << "daily limit: none\n";
        } else if (!subject.isUser) {
            out << "daily limit: " << limit.items()[0].number() << " minutes\n";
        } else {
            out << "daily limit: " << limit.items()[1].number() << " of "
                << limit.items()[0].number() << " minutes used"
                << (limit.items()[2].boolean() ? " (reached)" : "") << '\n';
        }
    });
}

void RunUsage(Session& session, const Words& words) {
    CDBManager& db = session.Db();
    const Subject subject = FindSubject(db, words[0]);
    if (!subject.isUser) {
        throw CommandError(kExitRefused, "\"" + words[0] + "\": is a group, not a user");
    }
    const LocalTime today = BreakDownLocal(Now());
    Json json = Json::Object();
    std::string text;
    for (const Category category : kAllCategories) {
        const TimeLimitsTable& block = subject.rules.limits[RulesOf(category).slot];
        const uint32_t used = MinutesCountedOn(db.StateMutex(), FieldText(subject.record.name),
                                               category, today.yearDay);
        const bool limited = block.enable != 0 && subject.rules.Disable == 0;
        json.Set(CategoryName(category),
                 Json::Object()
                     .Set("used", used)
                     .Set("limit", limited ? Json(block.minutes[today.weekday]) : Json()));
        text += std::string(CategoryName(category)) + ": " + std::to_string(used) + " minutes" +
                (limited ? " of " + std::to_string(block.minutes[today.weekday]) : "") + "\n";
    }
    session.out().Emit(json, [&](std::ostream& out) { out << text; });
}

}  // namespace zen::ctl
