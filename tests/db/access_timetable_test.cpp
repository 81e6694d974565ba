// The timetable test and the category decision: quarter hours, timetable modes, Disable and
// the clock lock.
#include <gtest/gtest.h>

#include "access_test_support.h"
#include "common/db/access.h"
#include "common/db/rules_model.h"

namespace zen {
namespace {

using test::At;
using test::Forbid;

struct SlotCase {
    int hour, minute, slot;
};

TEST(SlotIndexTest, MinutesBelongToTheQuarterTheyEnd) {
    const SlotCase cases[] = {{0, 0, 0},    {0, 15, 0},   {0, 16, 1},   {0, 30, 1},
                              {0, 31, 2},   {0, 45, 2},   {0, 46, 3},   {0, 59, 3},
                              {10, 15, 40}, {10, 16, 41}, {23, 59, 95}, {23, 46, 95}};
    for (const SlotCase& c : cases) {
        EXPECT_EQ(SlotIndex(c.hour, c.minute), c.slot) << c.hour << ":" << c.minute;
    }
}

TEST(IsAllowedTest, ReadsTheBitOfTheWeekdayAndQuarter) {
    Timetable timetable = AllAllowed();
    Forbid(timetable, 2, 41);  // Tuesday 10:16-10:30
    EXPECT_TRUE(IsAllowedAt(timetable, At(2, 10, 15)));
    EXPECT_FALSE(IsAllowedAt(timetable, At(2, 10, 16)));
    EXPECT_FALSE(IsAllowedAt(timetable, At(2, 10, 30)));
    EXPECT_TRUE(IsAllowedAt(timetable, At(2, 10, 31)));
    EXPECT_TRUE(IsAllowedAt(timetable, At(3, 10, 16)));
    Timetable none{};
    EXPECT_FALSE(IsAllowedAt(none, At(0, 0, 0)));
    EXPECT_FALSE(IsAllowedAt(AllAllowed(), At(7, 0, 0)));  // no such weekday
}

TEST(IsAllowedTest, NowIsTheLocalTimeOfTheClock) {
    test::ScopedZone zone("UTC");
    Timetable timetable = AllAllowed();
    Forbid(timetable, 2, 41);
    test::ScopedNow now(test::kTuesday1016);
    EXPECT_FALSE(IsAllowedNow(timetable));
    now.Set(test::kTuesday1016 - 60);  // 10:15
    EXPECT_TRUE(IsAllowedNow(timetable));
}

struct CategoryCase {
    const char* what;
    uint32_t disable;
    bool clockLock;
    Category category;
    uint32_t mode;
    int forbiddenSlot;  // timetable slot that forbids the moment, -1 none
    bool allowed;
};

TEST(CategoryAllowedTest, ModeChoosesTheTimetable) {
    const LocalTime moment = At(2, 10, 16);
    const CategoryCase cases[] = {
        {"mode 0 ignores timetables", 0, false, Category::Internet, 0, kCommonSlot, true},
        {"mode 1 own slot forbids", 0, false, Category::Internet, 1, kInternetSlot, false},
        {"mode 1 ignores the common slot", 0, false, Category::Internet, 1, kCommonSlot, true},
        {"mode 2 ignores slot 3", 0, false, Category::Internet, 2, kInternetSlot, true},
        {"mode 2 reads slot 0", 0, false, Category::Internet, 2, kCommonSlot, false},
        {"program mode 2 reads slot 0", 0, false, Category::Program, 2, kCommonSlot, false},
        {"program mode 2 ignores slot 5", 0, false, Category::Program, 2, kProgramSlot, true},
        {"power mode 1 own slot", 0, false, Category::Power, 1, kPowerSlot, false},
        {"cdrom mode 1 own slot", 0, false, Category::CDROM, 1, kCdromSlot, false},
        {"removable mode 7 common", 0, false, Category::Removable, 7, kCommonSlot, false},
        {"clock lock closes the Internet", 0, true, Category::Internet, 0, -1, false},
        {"clock lock leaves the computer", 0, true, Category::Power, 0, -1, true},
        {"disable beats the timetable", 1, false, Category::Internet, 1, kInternetSlot, true},
        {"disable beats the clock lock", 1, true, Category::Internet, 0, -1, true},
    };
    for (const CategoryCase& c : cases) {
        FastUsersRecord rules = RulesDefault();
        rules.Disable = c.disable;
        rules.*RulesOf(c.category).mode = c.mode;
        if (c.forbiddenSlot >= 0) {
            Forbid(rules.timetables[c.forbiddenSlot], moment.weekday, 41);
        }
        EXPECT_EQ(CategoryAllowedAt(rules, c.clockLock, c.category, moment), c.allowed) << c.what;
    }
}

TEST(CategoryAllowedTest, DisableAllowsEveryCategoryWhenEverythingIsForbidden) {
    FastUsersRecord rules = RulesDefault();
    for (Timetable& timetable : rules.timetables) {
        timetable = Timetable{};
    }
    for (Category category : {Category::Power, Category::Internet, Category::Program,
                              Category::CDROM, Category::Removable}) {
        EXPECT_FALSE(CategoryAllowedAt(rules, false, category, At(1, 9, 0)));
    }
    rules.Disable = 1;
    for (Category category : {Category::Power, Category::Internet, Category::Program,
                              Category::CDROM, Category::Removable}) {
        EXPECT_TRUE(CategoryAllowedNow(rules, true, category));
    }
}

}  // namespace
}  // namespace zen
