// Limits resolved through the users table: the user's group decides, a group's own name is
// refused with the caller's message, and reading today's minutes never writes.
#include <gtest/gtest.h>

#include "access_test_support.h"
#include "common/db/access.h"
#include "common/db/checksum.h"
#include "common/db/rules_model.h"
#include "common/db/usage_state.h"
#include "support/temp_root.h"

namespace zen {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kStart = test::kTuesday1016 - 16 * 60;

class GroupLimitTest : public test::RootedTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(stateMutex.Open("_QRT_StateMutex_"));
        ASSERT_EQ(users.Open(true), 1);
        FastUsersRecord group = NamedDefault(u"Kids");
        group.UserID = 10;
        group.limits[kInternetSlot].enable = 1;
        std::fill(std::begin(group.limits[kInternetSlot].minutes),
                  std::end(group.limits[kInternetSlot].minutes), 1u);
        ASSERT_EQ(users.Insert(group), 1);
        FastUsersRecord user = RulesDefault();
        SetFieldText(user.name, u"dave");
        user.UserID = 11;
        user.ParentID = 10;
        ASSERT_EQ(users.Insert(user), 1);
    }

    DailyLimitResult Check(std::u16string_view name) {
        return CheckGroupDailyLimit(users, stateMutex, name, Category::Internet,
                                    kCheckLimitsUserIsGroup);
    }

    fs::path FileOf(std::u16string_view name) {
        return UsageFileName(StringCrc(name), RulesOf(Category::Internet).seed);
    }

    test::ScopedZone zone{"UTC"};
    test::ScopedNow now{kStart};
    NamedMutex stateMutex;
    UsersTable users{"ZenUsr"};
};

TEST_F(GroupLimitTest, TheGroupsLimitsCountForTheUser) {
    EXPECT_FALSE(Check(u"DAVE").reached);  // found under NameCompare, counted under its own CRC
    EXPECT_TRUE(fs::exists(FileOf(u"DAVE")));
    now.Set(kStart + 61);
    const DailyLimitResult second = Check(u"DAVE");
    EXPECT_TRUE(second.reached);
    EXPECT_EQ(second.minutesUsed, 1u);
    EXPECT_EQ(MinutesUsedToday(users, stateMutex, u"DAVE", Category::Internet), 1u);
    EXPECT_EQ(MinutesUsedToday(users, stateMutex, u"DAVE", Category::Power), 0u);  // not enabled
}

TEST_F(GroupLimitTest, UnknownUsersAndGroupsAreNotLimited) {
    EXPECT_EQ(Check(u"nobody-here").minutesUsed, 0u);
    EXPECT_EQ(root.ErrorLog(), "");
    EXPECT_FALSE(Check(u"Kids").reached);
    EXPECT_FALSE(fs::exists(FileOf(u"Kids")));
    EXPECT_NE(root.ErrorLog().find(", ZenCheckTimeLimits(): error : CurUser is Group\r\n"),
              std::string::npos);
    EXPECT_EQ(MinutesUsedToday(users, stateMutex, u"Kids", Category::Internet), 0u);
    EXPECT_NE(root.ErrorLog().find(
                  ", CDlgDailyTimeLimits::GetTimeOnline() : error : CurUser is Group\r\n"),
              std::string::npos);
}

TEST_F(GroupLimitTest, MinutesUsedTodayReadsOnly) {
    EXPECT_EQ(MinutesUsedToday(users, stateMutex, u"dave", Category::Internet), 0u);
    EXPECT_FALSE(fs::exists(FileOf(u"dave")));
    EXPECT_EQ(root.ErrorLog(), "");  // a missing counter is no fault here

    Check(u"dave");
    const FileStamp before = StampOf(FileOf(u"dave"));
    now.Set(kStart + 3600);
    EXPECT_EQ(MinutesUsedToday(users, stateMutex, u"dave", Category::Internet), 1u);
    now.Set(kStart + 86'400);
    EXPECT_EQ(MinutesUsedToday(users, stateMutex, u"dave", Category::Internet), 0u);
    EXPECT_EQ(StampOf(FileOf(u"dave")), before);
}

}  // namespace
}  // namespace zen
