// Counting shared by real processes: concurrent counters agree with one counter, and a
// process that dies holding the state mutex neither stops the others nor leaves them trusting
// what they remembered.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <thread>

#include "access_test_support.h"
#include "common/db/access.h"
#include "common/db/checksum.h"
#include "common/db/usage_state.h"
#include "support/child_process.h"
#include "support/temp_root.h"

namespace zen {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

constexpr std::u16string_view kUser = u"carol";
constexpr uint32_t kSeed = 9231;
constexpr int64_t kStart = test::kTuesday1016 - 16 * 60;
constexpr uint32_t kLimits[7] = {1000, 1000, 1000, 1000, 1000, 1000, 1000};

int64_t RealMs() {
    return std::chrono::duration_cast<milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// One simulated second per 1.6 real milliseconds: the shared wall clock drives every process,
// so their moments agree.
int64_t SimulatedMoment(int64_t startMs) {
    return kStart + (RealMs() - startMs) * 10 / 16;
}

// args: start (real ms), run length (ms), output file. Checks as fast as it can; the moment is
// taken while holding the state mutex, as a real clock read inside the check would be.
ZEN_CHILD(usage_count_loop) {
    const int64_t startMs = std::stoll(args[0]);
    const int64_t endMs = startMs + std::stoll(args[1]);
    NamedMutex stateMutex;
    if (!stateMutex.Open("_QRT_StateMutex_")) {
        return 2;
    }
    while (RealMs() < startMs) {
        std::this_thread::sleep_for(milliseconds(1));
    }
    std::ofstream out(args[2]);
    while (RealMs() < endMs) {
        {
            NamedMutexLock lock(stateMutex);
            const int64_t moment = SimulatedMoment(startMs);
            SetNowForTesting(moment);
            const auto result = CheckDailyLimit(stateMutex, true, kUser, kSeed, kLimits);
            out << moment << ' ' << result.minutesUsed << '\n';
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return out ? 0 : 1;
}

// The algorithm over a sorted list of moments, in memory: the minutes after each moment, and
// the moment of the last count.
struct Counted {
    std::map<int64_t, uint32_t> minutesAt;
    int64_t lastCount = 0;
};

Counted CountOver(const std::vector<int64_t>& moments) {
    Counted counted;
    uint32_t minutes = 0;
    for (int64_t moment : moments) {
        const int64_t since = moment - counted.lastCount;
        if (minutes == 0 || since >= 60) {
            // Use without a pause carries the seconds past the minute; a pause starts anew.
            counted.lastCount = minutes != 0 && since < 120 ? counted.lastCount + 60 : moment;
            ++minutes;
        }
        counted.minutesAt[moment] = minutes;
    }
    return counted;
}

TEST(UsageProcessTest, ThreeProcessesCountEachMinuteOnce) {
    test::ScopedZone zone("UTC");
    test::TempRoot root;
    const int64_t startMs = RealMs() + 300;
    std::vector<test::Child> children;
    for (int i = 0; i < 3; ++i) {
        children.emplace_back(
            "usage_count_loop",
            std::vector<std::string>{std::to_string(startMs), "3000",
                                     (root / ("moments" + std::to_string(i))).string()});
    }
    for (test::Child& child : children) {
        ASSERT_EQ(child.Wait(), 0);
    }
    std::vector<std::pair<int64_t, uint32_t>> seen;  // (moment, minutes) of every check
    for (int i = 0; i < 3; ++i) {
        std::ifstream in(root / ("moments" + std::to_string(i)));
        int64_t moment = 0;
        uint32_t minutes = 0;
        std::size_t count = 0;
        while (in >> moment >> minutes) {
            seen.emplace_back(moment, minutes);
            ++count;
        }
        EXPECT_GT(count, 10u) << "process " << i << " hardly ran";
    }
    std::vector<int64_t> moments;
    for (const auto& [moment, minutes] : seen) {
        moments.push_back(moment);
    }
    std::sort(moments.begin(), moments.end());
    const Counted counted = CountOver(moments);
    for (const auto& [moment, minutes] : seen) {
        ASSERT_EQ(minutes, counted.minutesAt.at(moment)) << "at " << moment - kStart;
    }
    NamedMutex stateMutex;
    ASSERT_TRUE(stateMutex.Open("_QRT_StateMutex_"));
    UsageCounterFile counter{};
    ASSERT_EQ(LoadUsage(stateMutex, counter, StringCrc(kUser), kSeed), 1);
    EXPECT_EQ(counter.minutesUsed, counted.minutesAt.rbegin()->second);
    EXPECT_EQ(counter.lastCountTime, static_cast<uint32_t>(counted.lastCount));
    EXPECT_GE(counter.minutesUsed, 20u);  // about 30 simulated minutes ran
}

// args: moment. Takes the state mutex, rewrites carol's counter behind everyone's back
// (minutes 7), and dies holding the mutex.
ZEN_CHILD(usage_die_holding) {
    NamedMutex stateMutex;
    if (!stateMutex.Open("_QRT_StateMutex_") || !Holds(stateMutex.Lock())) {
        return 2;
    }
    const int64_t moment = std::stoll(args[0]);
    const UsageCounterFile counter{moment, static_cast<uint32_t>(moment), 7};
    test::WriteAll(UsageFileName(StringCrc(kUser), kSeed),
                   std::string(reinterpret_cast<const char*>(&counter), sizeof counter));
    ::kill(::getpid(), SIGKILL);
    return 3;
}

// args: moment. Exits with the minutes its check saw.
ZEN_CHILD(usage_check_once) {
    SetNowForTesting(std::stoll(args[0]));
    NamedMutex stateMutex;
    if (!stateMutex.Open("_QRT_StateMutex_")) {
        return 200;
    }
    return static_cast<int>(CheckDailyLimit(stateMutex, true, kUser, kSeed, kLimits).minutesUsed);
}

TEST(UsageProcessTest, DeathHoldingTheMutexStopsNobodyAndVoidsWhatWasRemembered) {
    test::ScopedZone zone("UTC");
    test::TempRoot root;
    NamedMutex stateMutex;
    ASSERT_TRUE(stateMutex.Open("_QRT_StateMutex_"));
    test::ScopedNow now(kStart);
    EXPECT_EQ(CheckDailyLimit(stateMutex, true, kUser, kSeed, kLimits).minutesUsed, 1u);

    EXPECT_EQ(test::RunChild("usage_die_holding", {std::to_string(kStart + 10)}), 128 + SIGKILL);
    now.Set(kStart + 71);
    EXPECT_EQ(CheckDailyLimit(stateMutex, true, kUser, kSeed, kLimits).minutesUsed, 8u);
    EXPECT_EQ(test::RunChild("usage_check_once", {std::to_string(kStart + 132)}), 9);
    EXPECT_EQ(root.ErrorLog().find("WAIT_TIMEOUT"), std::string::npos);
}

}  // namespace
}  // namespace zen
