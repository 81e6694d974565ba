// CheckDailyLimit: the counting rules, proved against a plain re-reading of the algorithm
// (every read from the file), with other processes writing in between.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <variant>

#include "access_test_support.h"
#include "common/db/access.h"
#include "common/db/checksum.h"
#include "common/db/rules_model.h"
#include "common/db/usage_state.h"
#include "support/child_process.h"
#include "support/temp_root.h"

namespace zen {
namespace {

namespace fs = std::filesystem;

constexpr std::u16string_view kUser = u"alice";
constexpr uint32_t kSeed = 9321;
constexpr int64_t kStart = test::kTuesday1016 - 16 * 60;  // Tuesday 10:00 UTC
constexpr int64_t kDay = 86'400;

struct Limits {
    uint32_t minutes[7];
};

Limits Every(uint32_t limit) {
    return {{limit, limit, limit, limit, limit, limit, limit}};
}

// The algorithm as written, reading the file every time.
DailyLimitResult Reference(NamedMutex& stateMutex, std::u16string_view user, uint32_t seed,
                           const uint32_t (&limits)[7]) {
    NamedMutexLock lock(stateMutex);
    const uint32_t crc = StringCrc(user);
    UsageCounterFile counter{};
    LoadUsage(stateMutex, counter, crc, seed);
    const int64_t now = Now();
    const int64_t dayStart = counter.savedTime == 0 ? now : counter.savedTime;
    const LocalTime today = BreakDownLocal(now);
    uint32_t minutes = 1;
    uint32_t countTime = static_cast<uint32_t>(now);
    if (BreakDownLocal(dayStart).yearDay == today.yearDay) {
        const int64_t since = static_cast<int64_t>(static_cast<uint32_t>(now)) -
                              static_cast<int64_t>(counter.lastCountTime);
        if (since >= -60 && since < 60) {
            return {false, counter.minutesUsed};
        }
        if (counter.minutesUsed >= limits[today.weekday]) {
            return {true, counter.minutesUsed};
        }
        minutes = counter.minutesUsed + 1;
        if (since > 0 && since < 120) {
            countTime = counter.lastCountTime + 60;
        }
    }
    SaveUsage(stateMutex, countTime, minutes, crc, seed);
    return {false, minutes};
}

DailyLimitResult Cached(NamedMutex& stateMutex, std::u16string_view user, uint32_t seed,
                        const uint32_t (&limits)[7]) {
    return CheckDailyLimit(stateMutex, true, user, seed, limits);
}

using Checker = std::function<DailyLimitResult(NamedMutex&, std::u16string_view, uint32_t,
                                               const uint32_t (&)[7])>;

// The state mutex of the current root.
struct State {
    State() { EXPECT_TRUE(mutex.Open("_QRT_StateMutex_")); }
    NamedMutex mutex;
};

// args: moment, last count time, minutes. Another process saves alice's Internet counter.
ZEN_CHILD(usage_save) {
    SetNowForTesting(std::stoll(args[0]));
    State state;
    return SaveUsage(state.mutex, static_cast<uint32_t>(std::stoll(args[1])),
                     static_cast<uint32_t>(std::stoul(args[2])), StringCrc(kUser), kSeed) == 1
               ? 0
               : 1;
}

// args: moment, limit. Another process checks; exits with the minutes it saw.
ZEN_CHILD(usage_check) {
    SetNowForTesting(std::stoll(args[0]));
    const Limits limits = Every(static_cast<uint32_t>(std::stoul(args[1])));
    State state;
    return static_cast<int>(
        CheckDailyLimit(state.mutex, true, kUser, kSeed, limits.minutes).minutesUsed);
}

struct Check {
    int64_t at;  // seconds after kStart
    uint32_t limit;
    bool reached;
    uint32_t minutes;
};
struct OtherSaves {
    int64_t at;
    int64_t lastCount;  // seconds after kStart
    uint32_t minutes;
};
using Step = std::variant<Check, OtherSaves>;

struct Scenario {
    const char* what;
    std::vector<Step> steps;
};

struct Outcome {
    std::vector<DailyLimitResult> results;
    std::string file;  // the counter's bytes at the end ("" when there is none)
};

Outcome RunScenario(const Scenario& scenario, const Checker& check) {
    test::TempRoot root;
    State state;
    test::ScopedNow now(kStart);
    Outcome outcome;
    for (const Step& step : scenario.steps) {
        if (const auto* save = std::get_if<OtherSaves>(&step)) {
            EXPECT_EQ(test::RunChild("usage_save", {std::to_string(kStart + save->at),
                                                    std::to_string(kStart + save->lastCount),
                                                    std::to_string(save->minutes)}),
                      0);
            continue;
        }
        const Check& c = std::get<Check>(step);
        now.Set(kStart + c.at);
        const Limits limits = Every(c.limit);
        outcome.results.push_back(check(state.mutex, kUser, kSeed, limits.minutes));
    }
    const fs::path file = UsageFileName(StringCrc(kUser), kSeed);
    outcome.file = fs::exists(file) ? test::ReadAll(file) : "";
    return outcome;
}

TEST(DailyLimitTest, CountsAsTheAlgorithmInEveryScenario) {
    test::ScopedZone zone("UTC");
    const Scenario scenarios[] = {
        {"30 s apart count one, 61 s apart two",
         {Check{0, 10, false, 1}, Check{30, 10, false, 1}, Check{61, 10, false, 2},
          Check{90, 10, false, 2}, Check{122, 10, false, 3}}},
        {"used equal to the limit is reached, one below is not",
         {Check{0, 2, false, 1}, Check{61, 2, false, 2}, Check{122, 2, true, 2},
          Check{400, 2, true, 2}, Check{500, 3, false, 3}}},
        {"limit 0 without a file is reached at once",
         {Check{0, 0, true, 0}, Check{61, 0, true, 0}}},
        {"limit 0 with an earlier day's counter counts one, then is reached",
         {OtherSaves{-kDay, -kDay, 5}, Check{0, 0, false, 1}, Check{61, 0, true, 1}}},
        {"a new day restarts at one",
         {OtherSaves{-kDay, -kDay, 7}, Check{0, 10, false, 1}, Check{30, 10, false, 1}}},
        {"the same day of the year one year on continues",
         {OtherSaves{-365 * kDay, -365 * kDay, 5}, Check{0, 10, false, 6}}},
        {"another process counting in between is seen",
         {Check{0, 10, false, 1}, OtherSaves{30, 30, 4}, Check{45, 10, false, 4},
          Check{91, 10, false, 5}, OtherSaves{100, 100, 9}, Check{161, 10, false, 10},
          Check{222, 10, true, 10}}},
        {"a count stamped a little ahead still spaces the next",
         {OtherSaves{0, 200, 3}, Check{150, 10, false, 3}, Check{261, 10, false, 4}}},
        {"checks 65 s apart carry the 5 s: the fourth minute is counted at 180 s, not 195 s",
         {Check{0, 10, false, 1}, Check{65, 10, false, 2}, Check{130, 10, false, 3},
          Check{175, 10, false, 3}, Check{180, 10, false, 4}}},
        {"after a pause the next minute starts at the use, nothing is counted for the pause",
         {Check{0, 10, false, 1}, Check{600, 10, false, 2}, Check{655, 10, false, 2},
          Check{660, 10, false, 3}}},
        {"after the clock went back the count goes on from the new time, one minute at a time",
         {OtherSaves{0, 900, 3}, Check{100, 10, false, 4}, Check{105, 10, false, 4},
          Check{160, 10, false, 5}}},
    };
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.what);
        const Outcome cached = RunScenario(scenario, Cached);
        const Outcome reference = RunScenario(scenario, Reference);
        EXPECT_EQ(cached.file, reference.file);
        ASSERT_EQ(cached.results.size(), reference.results.size());
        std::size_t i = 0;
        for (const Step& step : scenario.steps) {
            if (const auto* c = std::get_if<Check>(&step)) {
                SCOPED_TRACE("check at +" + std::to_string(c->at));
                EXPECT_EQ(cached.results[i].reached, c->reached);
                EXPECT_EQ(cached.results[i].minutesUsed, c->minutes);
                EXPECT_EQ(reference.results[i].reached, c->reached);
                EXPECT_EQ(reference.results[i].minutesUsed, c->minutes);
                ++i;
            }
        }
    }
}

// At the service's 5-second ticks every category counts a minute per 60 s of use, so a limit
// of L minutes is reached after L * 60 s.
TEST(DailyLimitTest, FiveSecondTicksCountAMinuteEverySixtySeconds) {
    test::ScopedZone zone("UTC");
    constexpr uint32_t kLimit = 60;
    std::vector<Step> steps;
    for (int64_t at = 0; at <= kLimit * 60 + 10; at += 5) {
        const bool reached = at >= kLimit * 60;
        steps.push_back(
            Check{at, kLimit, reached, reached ? kLimit : static_cast<uint32_t>(at / 60 + 1)});
    }
    const Scenario scenario{"a check every 5 s for an hour", steps};
    for (const Checker& check : {Checker(Cached), Checker(Reference)}) {
        const Outcome outcome = RunScenario(scenario, check);
        std::size_t i = 0;
        for (const Step& step : scenario.steps) {
            const Check& c = std::get<Check>(step);
            ASSERT_EQ(outcome.results[i].reached, c.reached) << "at +" << c.at;
            ASSERT_EQ(outcome.results[i].minutesUsed, c.minutes) << "at +" << c.at;
            ++i;
        }
    }
}

TEST(DailyLimitTest, LimitZeroWithoutAFileWritesNothing) {
    test::ScopedZone zone("UTC");
    const Outcome outcome = RunScenario({"", {Check{0, 0, true, 0}}}, Cached);
    EXPECT_EQ(outcome.file, "");
}

TEST(DailyLimitTest, DayBoundaryIsTheLocalOne) {
    if (!fs::exists("/usr/share/zoneinfo/America/New_York")) {
        GTEST_SKIP() << "no zone information";
    }
    // 2024-03-05 04:59:30 UTC is 23:59:30 of March 4 in New York; 70 s later is March 5 there.
    const int64_t beforeMidnight = 1'709'614'770;
    struct Case {
        const char* zone;
        uint32_t second;
    } const cases[] = {{"UTC", 2}, {"America/New_York", 1}};
    for (const Case& c : cases) {
        test::ScopedZone zone(c.zone);
        test::TempRoot root;
        State state;
        test::ScopedNow now(beforeMidnight);
        const Limits limits = Every(10);
        EXPECT_EQ(CheckDailyLimit(state.mutex, true, kUser, kSeed, limits.minutes).minutesUsed, 1u);
        now.Set(beforeMidnight + 70);
        EXPECT_EQ(CheckDailyLimit(state.mutex, true, kUser, kSeed, limits.minutes).minutesUsed,
                  c.second)
            << c.zone;
    }
}

TEST(DailyLimitTest, LimitOfTheLocalWeekday) {
    test::ScopedZone zone("UTC");
    test::TempRoot root;
    State state;
    test::ScopedNow now(kStart);  // a Tuesday
    Limits limits = Every(0);
    limits.minutes[2] = 1;
    EXPECT_FALSE(CheckDailyLimit(state.mutex, true, kUser, kSeed, limits.minutes).reached);
    now.Set(kStart + 61);
    EXPECT_TRUE(CheckDailyLimit(state.mutex, true, kUser, kSeed, limits.minutes).reached);
}

TEST(DailyLimitTest, DisabledFlagOrRulesCountNothing) {
    test::ScopedZone zone("UTC");
    test::TempRoot root;
    State state;
    test::ScopedNow now(kStart);
    const Limits limits = Every(0);
    EXPECT_FALSE(CheckDailyLimit(state.mutex, false, kUser, kSeed, limits.minutes).reached);
    FastUsersRecord rules = NamedDefault(u"Kids");
    for (TimeLimitsTable& block : rules.limits) {
        block.enable = 1;
        std::fill(std::begin(block.minutes), std::end(block.minutes), 0u);
    }
    rules.Disable = 1;
    for (Category category : {Category::Power, Category::Internet, Category::Program,
                              Category::CDROM, Category::Removable}) {
        EXPECT_FALSE(CheckRulesDailyLimit(state.mutex, rules, kUser, category).reached);
    }
    EXPECT_TRUE(fs::is_empty(root / "var/lib/zentimo"));
    rules.Disable = 0;
    EXPECT_TRUE(CheckRulesDailyLimit(state.mutex, rules, kUser, Category::Power).reached);
}

}  // namespace
}  // namespace zen
