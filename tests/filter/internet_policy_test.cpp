// The decisions of the Internet filter and what its refusals leave behind, driven without
// preloading: the policy of a process of "kid" (or of an uncontrolled account) on the rules.
#include "filter/internet_policy.h"

#include <gtest/gtest.h>

#include "../db/access_test_support.h"
#include "common/db/access.h"
#include "common/db/checksum.h"
#include "common/db/usage_state.h"
#include "filter/filter_texts.h"
#include "filter_fixture.h"
#include "platform/text.h"

namespace zen::filter {
namespace {

using test::kKidUid;

class InternetPolicyTest : public test::FilterRootTest {
public:
    void SetUp() override {
        FilterRootTest::SetUp();
        program = root / "browser";
        test::WriteAll(program, "a program of its own");
    }

    InternetPolicy Open(uid_t uid = kKidUid) { return InternetPolicy({uid, program}); }

    // The Internet timetable of Kids switched on, allowing or forbidding every quarter.
    void InternetTimetable(bool allowed) {
        EditKids([&](FastUsersRecord& group) {
            group.Internet = 1;
            test::FillTimetable(group.timetables[kInternetSlot], allowed);
        });
    }

    test::ScopedZone zone{"UTC"};
    test::ScopedNow now{test::kTuesday1016};
    std::filesystem::path program;
};

TEST_F(InternetPolicyTest, UncontrolledAccountsAreNeverRefused) {
    InternetTimetable(false);
    SetClockLock(true);
    test::WriteAll(root / "etc/login.defs", "UID_MIN 5000\n");
    for (const uid_t uid : {0u, 123u, 4999u}) {
        InternetPolicy policy = Open(uid);
        EXPECT_EQ(policy.TimetableCheck(), Verdict::Pass) << uid;
        EXPECT_EQ(policy.DailyLimitCheck(), Verdict::Pass) << uid;
    }
    EXPECT_EQ(Open().TimetableCheck(), Verdict::Refuse);
}

TEST_F(InternetPolicyTest, SystemWideEntryExemptsTheProgramFromEverything) {
    InternetTimetable(false);
    SetClockLock(true);
    // What the set-up enters for the system's own programs: no owner.
    FastCustomRecord entry{};
    entry.Mode = kTrustedMode;
    SetFieldText(entry.szVal, Utf8ToUtf16(program.string()));
    entry.dwVal = CheckSum(program);
    ASSERT_EQ(admin.Customs().Update(
                  [&](CustomsTable::Set& entries) { return entries.insert(entry).second; }),
              1);
    InternetPolicy policy = Open();
    EXPECT_EQ(policy.TimetableCheck(), Verdict::Pass);
    EXPECT_EQ(policy.DailyLimitCheck(), Verdict::Pass);
}

TEST_F(InternetPolicyTest, ClockLockRefusesWithTheMomentAsDescription) {
    SetClockLock(true);
    EXPECT_EQ(Open().TimetableCheck(), Verdict::Refuse);
    const auto warnings = Warnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(FieldText(warnings[0].text), u"Tue Mar  5 10:16:00 2024\n");
    EXPECT_EQ(FieldText(warnings[0].secondText), FilterText(kClockChangedReason));
    EXPECT_EQ(warnings[0].kind, 7u);
    EXPECT_EQ(FieldText(warnings[0].user), u"kid");
    EXPECT_EQ(FieldText(warnings[0].program), Utf8ToUtf16(program.string()));
    EXPECT_EQ(MessageCount(), 1u);
}

struct RuleCase {
    const char* name;
    std::function<void(InternetPolicyTest&)> arrange;
    Verdict expected;
};

class TimetableRuleTest : public InternetPolicyTest,
                          public ::testing::WithParamInterface<RuleCase> {};

TEST_P(TimetableRuleTest, Decides) {
    GetParam().arrange(*this);
    EXPECT_EQ(Open().TimetableCheck(), GetParam().expected);
}

std::function<void(FastCustomRecord&)> OwnTimetable(bool allowed) {
    return [allowed](FastCustomRecord& entry) {
        entry.TimetableState = 1;
        test::FillTimetable(entry.timetable, allowed);
    };
}

void CategoryTimetables(InternetPolicyTest& t, uint32_t mode, bool internet, bool general) {
    t.EditKids([&](FastUsersRecord& group) {
        group.Internet = mode;
        test::FillTimetable(group.timetables[kInternetSlot], internet);
        test::FillTimetable(group.timetables[kCommonSlot], general);
    });
}

INSTANTIATE_TEST_SUITE_P(
    Rules, TimetableRuleTest,
    ::testing::Values(
        RuleCase{"InternetTimetableForbids", [](auto& t) { CategoryTimetables(t, 1, false, true); },
                 Verdict::Refuse},
        RuleCase{"InternetTimetableAllows", [](auto& t) { CategoryTimetables(t, 1, true, false); },
                 Verdict::Pass},
        RuleCase{"NoTimetable", [](auto& t) { CategoryTimetables(t, 0, false, false); },
                 Verdict::Pass},
        RuleCase{"ModeTwoReadsTheGeneralTimetable",
                 [](auto& t) { CategoryTimetables(t, 2, false, true); }, Verdict::Pass},
        RuleCase{"ModeTwoRefusesOnTheGeneralTimetable",
                 [](auto& t) { CategoryTimetables(t, 2, true, false); }, Verdict::Refuse},
        RuleCase{"AllUsersEntryForbidsThoughTheTimetableAllows",
                 [](auto& t) {
                     CategoryTimetables(t, 1, true, true);
                     t.AddProgram(kAllUsers, t.program, OwnTimetable(false));
                 },
                 Verdict::Refuse},
        RuleCase{"GroupEntryWithoutTimetablePassesAtAForbiddenHour",
                 [](auto& t) {
                     CategoryTimetables(t, 1, false, false);
                     t.AddProgram(test::kKids, t.program);
                 },
                 Verdict::Pass},
        RuleCase{"GroupEntryWithItsOwnForbiddingTimetable",
                 [](auto& t) {
                     CategoryTimetables(t, 1, true, true);
                     t.AddProgram(test::kKids, t.program, OwnTimetable(false));
                 },
                 Verdict::Refuse},
        RuleCase{"DisabledGroupIsNotControlled",
                 [](auto& t) {
                     CategoryTimetables(t, 1, false, false);
                     t.EditKids([](FastUsersRecord& group) { group.Disable = 1; });
                 },
                 Verdict::Pass}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InternetPolicyTest, TimetableRefusalLeavesMessageAndWarning) {
    InternetTimetable(false);
    EXPECT_EQ(Open().TimetableCheck(), Verdict::Refuse);
    const auto warnings = Warnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].kind, 7u);
    EXPECT_EQ(FieldText(warnings[0].secondText), FilterText(kTimetableReason));
    EXPECT_TRUE(FilterText(kTimetableDescription).starts_with(FieldText(warnings[0].text)));
    admin.Messages().ReloadIfChanged();
    admin.Messages().WithRecords([](MessagesTable::Set& messages) {
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(FieldText(messages.begin()->text), FilterText(kAccessRestricted));
        EXPECT_EQ(FieldText(messages.begin()->name), std::u16string_view(test::kKids));
        EXPECT_EQ(messages.begin()->tick, static_cast<uint32_t>(test::kTuesday1016));
    });
}

TEST_F(InternetPolicyTest, RefusalsWithinFiveSecondsLeaveOneWarning) {
    InternetTimetable(false);
    InternetPolicy policy = Open();
    EXPECT_EQ(policy.TimetableCheck(), Verdict::Refuse);
    now.Set(test::kTuesday1016 + 3);
    EXPECT_EQ(policy.TimetableCheck(), Verdict::Refuse);
    EXPECT_EQ(MessageCount(), 2u);
    EXPECT_EQ(Warnings().size(), 1u);
    now.Set(test::kTuesday1016 + 9);
    EXPECT_EQ(policy.TimetableCheck(), Verdict::Refuse);
    EXPECT_EQ(Warnings().size(), 2u);
}

TEST_F(InternetPolicyTest, DailyLimitOfZeroPassesTheFirstCallOfTheDay) {
    EditKids([](FastUsersRecord& group) {
        group.limits[kInternetSlot].enable = 1;
        std::fill(std::begin(group.limits[kInternetSlot].minutes),
                  std::end(group.limits[kInternetSlot].minutes), 0u);
    });
    // Yesterday's count: today's first call starts a new day.
    now.Set(test::kTuesday1016 - 86'400);
    ASSERT_EQ(
        SaveUsage(admin.StateMutex(), static_cast<uint32_t>(Now()), 30, StringCrc(u"kid"), 9321),
        1);
    now.Set(test::kTuesday1016);
    InternetPolicy policy = Open();
    EXPECT_EQ(policy.DailyLimitCheck(), Verdict::Pass);
    now.Set(test::kTuesday1016 + 30);
    EXPECT_EQ(policy.DailyLimitCheck(), Verdict::Pass);
    now.Set(test::kTuesday1016 + 61);
    EXPECT_EQ(policy.DailyLimitCheck(), Verdict::Refuse);
    const auto warnings = Warnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(FieldText(warnings[0].text), u"Today: Online 1 minutes");
    EXPECT_EQ(FieldText(warnings[0].secondText), FilterText(kDailyLimitReason));
    EXPECT_EQ(warnings[0].kind, 11u);
}

TEST_F(InternetPolicyTest, DailyLimitDescriptionInHoursFromSixtyMinutes) {
    EditKids([](FastUsersRecord& group) {
        group.limits[kInternetSlot].enable = 1;
        std::fill(std::begin(group.limits[kInternetSlot].minutes),
                  std::end(group.limits[kInternetSlot].minutes), 75u);
    });
    ASSERT_EQ(SaveUsage(admin.StateMutex(), static_cast<uint32_t>(test::kTuesday1016 - 120), 75,
                        StringCrc(u"kid"), 9321),
              1);
    EXPECT_EQ(Open().DailyLimitCheck(), Verdict::Refuse);
    const auto warnings = Warnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(FieldText(warnings[0].text), u"Today: Online 1 hours 15 minutes");
}

TEST_F(InternetPolicyTest, GroupProgramIsExemptFromTheDailyLimit) {
    EditKids([](FastUsersRecord& group) {
        group.limits[kInternetSlot].enable = 1;
        std::fill(std::begin(group.limits[kInternetSlot].minutes),
                  std::end(group.limits[kInternetSlot].minutes), 0u);
    });
    AddProgram(test::kKids, program);
    InternetPolicy policy = Open();
    for (int64_t minute = 0; minute < 5; ++minute) {
        now.Set(test::kTuesday1016 + minute * 61);
        EXPECT_EQ(policy.DailyLimitCheck(), Verdict::Pass);
    }
    EXPECT_TRUE(Warnings().empty());
}

TEST_F(InternetPolicyTest, UnreadableRulesRefuseWithoutRecord) {
    admin.Term();
    std::filesystem::remove_all(root / "var/lib/zentimo");
    InternetPolicy policy = Open();
    EXPECT_EQ(policy.TimetableCheck(), Verdict::RefuseQuietly);
    EXPECT_EQ(policy.DailyLimitCheck(), Verdict::RefuseQuietly);
    std::error_code error;
    EXPECT_TRUE(std::filesystem::is_empty(root / "var/lib/zentimo", error) || error);
}

}  // namespace
}  // namespace zen::filter
