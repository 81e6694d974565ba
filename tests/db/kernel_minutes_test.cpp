// The minutes the service counts from the kernel's counters: one per 60 s of traffic, shared
// with the filter's own count, and the limit used up only once its last minute is over.
#include <gtest/gtest.h>

#include "access_test_support.h"
#include "common/db/access.h"
#include "support/temp_root.h"

namespace zen {
namespace {

constexpr std::u16string_view kUser = u"kid";
constexpr int64_t kStart = test::kTuesday1016 - 16 * 60;  // Tuesday 10:00 UTC

class KernelMinutesTest : public test::RootedTest {
protected:
    void SetUp() override { ASSERT_TRUE(mutex.Open("_QRT_StateMutex_")); }

    FastUsersRecord Limited(uint32_t minutes) {
        FastUsersRecord group{};
        TimeLimitsTable& block = group.limits[RulesOf(Category::Internet).slot];
        block.enable = 1;
        std::fill(std::begin(block.minutes), std::end(block.minutes), minutes);
        return group;
    }

    test::ScopedZone zone{"UTC0"};
    test::ScopedNow now{kStart};
    NamedMutex mutex;
};

TEST_F(KernelMinutesTest, AMinuteIsSixtySecondsAndTheFiltersCountIsNotRepeated) {
    EXPECT_EQ(CountKernelMinute(mutex, kUser, Category::Internet), 1u);
    now.Set(kStart + 59);
    EXPECT_EQ(CountKernelMinute(mutex, kUser, Category::Internet), 1u);
    now.Set(kStart + 60);
    EXPECT_EQ(CountKernelMinute(mutex, kUser, Category::Internet), 2u);
    // The filter counted the next minute first: the service does not count it again.
    const FastUsersRecord group = Limited(10);
    now.Set(kStart + 121);
    EXPECT_EQ(CheckRulesDailyLimit(mutex, group, kUser, Category::Internet).minutesUsed, 3u);
    now.Set(kStart + 130);
    EXPECT_EQ(CountKernelMinute(mutex, kUser, Category::Internet), 3u);
    // A new day starts again at one.
    now.Set(kStart + 86'400);
    EXPECT_EQ(CountKernelMinute(mutex, kUser, Category::Internet), 1u);
}

TEST_F(KernelMinutesTest, TheLimitIsUsedUpOnceItsLastMinuteIsOver) {
    const FastUsersRecord two = Limited(2);
    EXPECT_FALSE(DailyLimitUsedUp(mutex, two, kUser, Category::Internet));
    EXPECT_TRUE(DailyLimitUsedUp(mutex, Limited(0), kUser, Category::Internet));
    CountKernelMinute(mutex, kUser, Category::Internet);
    now.Set(kStart + 60);
    CountKernelMinute(mutex, kUser, Category::Internet);
    now.Set(kStart + 119);
    EXPECT_FALSE(DailyLimitUsedUp(mutex, two, kUser, Category::Internet));
    now.Set(kStart + 120);
    EXPECT_TRUE(DailyLimitUsedUp(mutex, two, kUser, Category::Internet));
    // No limit, or filtering disabled: never used up.
    EXPECT_FALSE(DailyLimitUsedUp(mutex, FastUsersRecord{}, kUser, Category::Internet));
    FastUsersRecord disabled = two;
    disabled.Disable = 1;
    EXPECT_FALSE(DailyLimitUsedUp(mutex, disabled, kUser, Category::Internet));
}

}  // namespace
}  // namespace zen
