// What a parent asks first: does the service run, who is at the console, and what the rules
// in force allow now. The same evaluation as the service's tick, without counting a minute.
#include <algorithm>
#include <cstdio>
#include <ostream>

#include "common/db/access.h"
#include "common/db/rules_model.h"
#include "platform/clock.h"
#include "platform/console_user.h"
#include "platform/local_time.h"
#include "platform/service_presence.h"
#include "platform/text.h"
#include "tools/zenctl/commands.h"
#include "tools/zenctl/kernel_rules_view.h"
#include "tools/zenctl/rule_syntax.h"

namespace zen::ctl {
namespace {

// How far ahead a change is looked for: a week repeats the timetable.
constexpr int64_t kLookAheadMinutes = 7 * 24 * 60;

std::string MomentText(int64_t seconds) {
    const LocalTime t = BreakDownLocal(seconds);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute);
    return std::string(WeekdayName(t.weekday)) + " " + text;
}

struct CategoryState {
    bool allowed = true;
    std::optional<int64_t> until;  // when the answer changes; none within a week
    uint32_t used = 0;
    std::optional<uint32_t> limit;  // today's minutes, when a limit applies
    std::string reason;
};

class Evaluation {
public:
    Evaluation(CDBManager& db, const FastUsersRecord& rules, std::u16string user, int64_t now)
        : db_(db),
          rules_(rules),
          user_(std::move(user)),
          now_(now),
          clockLock_(db.OptionsCopy().clockLock != 0) {}

    CategoryState Of(Category category) const {
        CategoryState state;
        const LocalTime today = BreakDownLocal(now_);
        const TimeLimitsTable& block = rules_.limits[RulesOf(category).slot];
        state.used = MinutesCountedOn(db_.StateMutex(), user_, category, today.yearDay);
        if (block.enable != 0 && rules_.Disable == 0) {
            state.limit = block.minutes[today.weekday];
        }
        const bool byTimetable = OpenAt(category, now_);
        const bool limitReached = state.limit && state.used >= *state.limit;
        state.allowed = byTimetable && !limitReached;
        if (rules_.Disable != 0) {
            state.reason = "filtering is disabled for the group";
        } else if (category == Category::Internet && clockLock_) {
            state.reason = "the Internet is locked since the clock was changed";
        } else if (limitReached) {
            state.reason = "today's limit is used up";
        } else if (!byTimetable) {
            state.reason = "outside the timetable";
        }
        if (state.allowed) {
            state.until = FirstMinute(now_, [&](int64_t t) { return !OpenAt(category, t); });
            if (state.limit) {
                const int64_t limitEnd = now_ + 60 * int64_t{*state.limit - state.used};
                state.until = std::min(state.until.value_or(limitEnd), limitEnd);
            }
        } else {
            // A used-up limit lasts until the day ends; the timetable then decides.
            const int64_t from = limitReached ? NextDay(now_) - 60 : now_;
            state.until = FirstMinute(from, [&](int64_t t) { return OpenAt(category, t); });
        }
        return state;
    }

private:
    bool OpenAt(Category category, int64_t t) const {
        return CategoryAllowedAt(rules_, clockLock_, category, BreakDownLocal(t));
    }

    // The first whole minute after `from` at which `changed` holds.
    template <typename Predicate>
    static std::optional<int64_t> FirstMinute(int64_t from, Predicate changed) {
        const int64_t start = from - from % 60 + 60;
        for (int64_t minute = 0; minute < kLookAheadMinutes; ++minute) {
            if (changed(start + 60 * minute)) {
                return start + 60 * minute;
            }
        }
        return std::nullopt;
    }

    static int64_t NextDay(int64_t t) {
        const int day = BreakDownLocal(t).yearDay;
        return *FirstMinute(t, [&](int64_t m) { return BreakDownLocal(m).yearDay != day; });
    }

    CDBManager& db_;
    const FastUsersRecord& rules_;
    std::u16string user_;
    int64_t now_;
    bool clockLock_;
};

Json ServiceJson(const std::optional<RunningService>& service) {
    if (!service) {
        return Json::Object().Set("running", false);
    }
    return Json::Object()
        .Set("running", true)
        .Set("pid", static_cast<int64_t>(service->pid))
        .Set("since", service->startedAt != 0 ? Json(MomentText(service->startedAt)) : Json())
        .Set("runBy", service->runBy);
}

std::string ServiceLine(const std::optional<RunningService>& service) {
    if (!service) {
        return "service: not running (the rules are not enforced)\n";
    }
    return "service: running, pid " + std::to_string(service->pid) +
           (service->startedAt != 0 ? ", since " + MomentText(service->startedAt) : "") +
           (service->runBy == "systemd"    ? ", under systemd"
            : service->runBy == "pid file" ? ", with the pid file " + PidFile().string()
                                           : ", started by hand") +
           "\n";
}

std::string CategoryLine(Category category, const CategoryState& state) {
    std::string name(CategoryName(category));
    name.resize(10, ' ');
    std::string line = name + (state.allowed ? "allowed" : "forbidden");
    line += state.until ? " until " + MomentText(*state.until) : " all week";
    if (!state.reason.empty()) {
        line += " (" + state.reason + ")";
    }
    line += "; " + std::to_string(state.used) + " minutes used today";
    if (state.limit) {
        line += ", " + std::to_string(*state.limit - std::min(state.used, *state.limit)) + " of " +
                std::to_string(*state.limit) + " left";
    }
    return line + "\n";
}

}  // namespace

void RunStatus(Session& session, const Words&) {
    const std::optional<RunningService> service = FindRunningService();
    CDBManager& db = session.Db();
    const std::string console = ConsoleUserName();
    Json json = Json::Object().Set("service", ServiceJson(service)).Set("consoleUser", console);
    std::string text =
        ServiceLine(service) + "console user: " + (console.empty() ? "nobody" : console) + "\n";
    std::optional<FastUsersRecord> rules;
    if (!console.empty()) {
        const std::u16string user = Utf8ToUtf16(console);
        const auto record = FindUser(db.Users(), user);
        // An unknown account joins Guests at the service's next tick; a group's name at the
        // console has no rules of its own.
        rules = record ? GroupOf(db.Users(), user, nullptr) : FindUser(db.Users(), u"Guests");
        text += rules ? "rules in force: the group " + Utf16ToUtf8(FieldText(rules->name)) +
                            (record ? "" : " (an account the service adds to Guests)") + "\n"
                      : "rules in force: none (the name is not a user of a group)\n";
    }
    json.Set("group", rules ? Json(FieldText(rules->name)) : Json());
    Json categories = Json::Object();
    if (rules) {
        const Evaluation evaluation(db, *rules, Utf8ToUtf16(console), Now());
        for (const Category category : kAllCategories) {
            const CategoryState state = evaluation.Of(category);
            text += CategoryLine(category, state);
            categories.Set(CategoryName(category),
                           Json::Object()
                               .Set("allowed", state.allowed)
                               .Set("until", state.until ? Json(MomentText(*state.until)) : Json())
                               .Set("used", state.used)
                               .Set("limit", state.limit ? Json(*state.limit) : Json())
                               .Set("left", state.limit ? Json(*state.limit -
                                                               std::min(state.used, *state.limit))
                                                        : Json())
                               .Set("reason", state.reason));
        }
    }
    json.Set("categories", std::move(categories));
    KernelRulesView kernel = ViewKernelRules();
    text += kernel.text;
    json.Set("kernelRules", std::move(kernel.json));
    session.out().Emit(json, [&](std::ostream& out) { out << text; });
}

}  // namespace zen::ctl
