// Program entries: the look-up walk and the network filter's and programs manager's
// decisions, over a real customs table.
#include <gtest/gtest.h>

#include "access_test_support.h"
#include "common/db/access.h"
#include "common/db/checksum.h"
#include "common/db/rules_model.h"
#include "platform/text.h"
#include "support/temp_root.h"

namespace zen {
namespace {

FastCustomRecord Entry(uint16_t mode, std::u16string_view owner, std::u16string_view path,
                       uint32_t checksum, bool forbidsNow = false) {
    FastCustomRecord entry{};
    entry.Mode = mode;
    SetFieldText(entry.UserID, owner);
    SetFieldText(entry.szVal, path);
    entry.dwVal = checksum;
    entry.timetable = AllAllowed();
    if (forbidsNow) {
        entry.TimetableState = 1;
        test::Forbid(entry.timetable, 2, 41);  // Tuesday 10:16
    }
    return entry;
}

class ProgramEntryTest : public test::RootedTest {
protected:
    void SetUp() override { ASSERT_EQ(customs.Open(true), 1); }

    void Add(const FastCustomRecord& entry) { ASSERT_EQ(customs.Insert(entry), 1); }

    std::u16string Found(uint16_t mode, std::u16string_view owner, std::u16string_view path,
                         uint32_t checksum) {
        const auto entry = FindProgramEntry(customs, mode, owner, path, checksum);
        return entry ? std::u16string(FieldText(entry->UserID)) + u"|" +
                           std::u16string(FieldText(entry->szVal))
                     : u"none";
    }

    CustomsTable customs{"ZenCtb"};
    test::ScopedZone zone{"UTC"};
    test::ScopedNow now{test::kTuesday1016};
};

TEST_F(ProgramEntryTest, LookUpMatchesOwnerAndChecksumOrPath) {
    Add(Entry(1, u"Kids", u"/usr/bin/firefox", 0x1111));
    Add(Entry(1, u"Kids", u"/usr/bin/curl", 0));
    Add(Entry(1, u"Kids", u"/usr/bin/odd", kCheckSumFailed));
    Add(Entry(1, u"Parents", u"/usr/bin/wget", 0x2222));
    Add(Entry(2, u"Kids", u"/usr/games/tetris", 0x3333));
    struct Case {
        uint16_t mode;
        std::u16string_view owner, path;
        uint32_t checksum;
        std::u16string_view expected;
    } const cases[] = {
        {1, u"Kids", u"/elsewhere/ff", 0x1111, u"Kids|/usr/bin/firefox"},  // checksum wins
        {1, u"kIDS", u"/usr/bin/firefox", 0x9999, u"none"},                // known, differs
        {1, u"kids", u"/USR/BIN/CURL", 0, u"Kids|/usr/bin/curl"},          // path, any case
        // All ones is a checksum like any other.
        {1, u"Kids", u"/usr/bin/curl", kCheckSumFailed, u"Kids|/usr/bin/odd"},
        {1, u"Kids", u"/usr/bin/wget", 0x2222, u"none"},  // another owner's program
        {1, u"Parents", u"/x", 0x2222, u"Parents|/usr/bin/wget"},
        {1, u"Kids", u"/usr/games/tetris", 0x3333, u"none"},  // a controlled entry
        {2, u"Kids", u"/usr/games/tetris", 0x3333, u"Kids|/usr/games/tetris"},
        {2, u"Kids", u"/usr/bin/firefox", 0x1111, u"none"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Found(c.mode, c.owner, c.path, c.checksum), c.expected)
            << Utf16ToUtf8(c.owner) << " " << Utf16ToUtf8(c.path);
    }
}

TEST_F(ProgramEntryTest, WalkNeitherTakesLaterOwnersNorLeavesTheMode) {
    // Set order: (1, "Kids2"), (1, "Kidz"), (2, "Kids2"); the walk for "Kids2" in mode 1 passes
    // the "Kidz" entry and stops at mode 2.
    Add(Entry(1, u"Kids2", u"/b", 0x10));
    Add(Entry(1, u"Kidz", u"/a", 0x20));
    Add(Entry(2, u"Kids2", u"/a", 0x20));
    EXPECT_EQ(Found(1, u"Kids2", u"/b", 0x10), u"Kids2|/b");
    EXPECT_EQ(Found(1, u"Kids2", u"/a", 0x20), u"none");
    EXPECT_EQ(Found(1, u"Kidz", u"/a", 0), u"Kidz|/a");
    EXPECT_EQ(Found(2, u"Kids2", u"/a", 0x20), u"Kids2|/a");
}

struct InternetCase {
    const char* what;
    bool disable, clockLock;
    int everyone;  // -1 no entry, 0 an entry forbidding now, 1 an allowing entry
    int group;
    bool categoryForbids;
    bool allowed;
};

TEST_F(ProgramEntryTest, InternetDecisionFollowsThePrecedence) {
    const InternetCase cases[] = {
        {"no entries, category allows", false, false, -1, -1, false, true},
        {"no entries, category forbids", false, false, -1, -1, true, false},
        {"group entry beats the category", false, false, -1, 1, true, true},
        {"group entry's timetable forbids", false, false, -1, 0, false, false},
        {"all-users entry forbidding blocks first", false, false, 0, 1, false, false},
        {"all-users entry allowing defers to group", false, false, 1, 0, false, false},
        {"all-users entry allowing, no group entry", false, false, 1, -1, true, false},
        {"clock lock before any entry", false, true, 1, 1, false, false},
        {"disable before the clock lock", true, true, 0, 0, true, true},
    };
    const std::u16string path = u"/usr/bin/firefox";
    for (const InternetCase& c : cases) {
        customs.Clear();
        FastUsersRecord rules = NamedDefault(u"Kids");
        rules.Disable = c.disable ? 1 : 0;
        if (c.categoryForbids) {
            test::Forbid(rules.timetables[kInternetSlot], 2, 41);
        }
        if (c.everyone >= 0) {
            Add(Entry(1, kAllUsers, path, 0x77, c.everyone == 0));
        }
        if (c.group >= 0) {
            Add(Entry(1, u"kids", path, 0x77, c.group == 0));
        }
        EXPECT_EQ(InternetAllowedNow(rules, c.clockLock, customs, path, 0x77), c.allowed) << c.what;
    }
}

TEST_F(ProgramEntryTest, ControlledEntryDecidesByItsOwnTimetableOnlyWhenItHasOne) {
    FastUsersRecord rules = NamedDefault(u"Kids");
    test::Forbid(rules.timetables[kProgramSlot], 2, 41);
    EXPECT_FALSE(ControlledProgramAllowedNow(rules, Entry(2, u"Kids", u"/g", 1)));
    FastCustomRecord own = Entry(2, u"Kids", u"/g", 1);
    own.TimetableState = 1;
    EXPECT_TRUE(ControlledProgramAllowedNow(rules, own));
    EXPECT_FALSE(
        ControlledProgramAllowedNow(NamedDefault(u"Kids"), Entry(2, u"Kids", u"/g", 1, true)));
}

}  // namespace
}  // namespace zen
