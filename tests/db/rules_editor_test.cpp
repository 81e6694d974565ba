#include "common/db/rules_editor.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/db/access.h"
#include "common/db/db_manager.h"
#include "common/db/option_fields.h"
#include "common/db/options_file.h"
#include "common/db/rules_model.h"
#include "platform/root.h"
#include "platform/text.h"
#include "support/temp_root.h"

namespace zen {
namespace {

namespace fs = std::filesystem;

class RulesEditorTest : public test::RootedTest {
protected:
    void SetUp() override {
        ::setenv("SUDO_USER", "parent", 1);
        CDBManager creator;
        ASSERT_EQ(creator.SaveOptionsAndNotify(), 1);
        ASSERT_EQ(creator.Init(true), 1);
        creator.Term();
        db = std::make_unique<CDBManager>();
        ASSERT_EQ(db->Init(false), 1);
        ASSERT_EQ(AddGroup(*db, u"Kids"), EditStatus::Done);
        ASSERT_EQ(AddUser(*db, u"alice", u"Kids"), EditStatus::Done);
    }
    void TearDown() override {
        db.reset();
        ::unsetenv("SUDO_USER");
    }

    FastUsersRecord Record(std::u16string_view name) {
        const auto record = FindUser(db->Users(), name);
        EXPECT_TRUE(record) << Utf16ToUtf8(name);
        return record.value_or(FastUsersRecord{});
    }

    // What another process reads: the tables as saved.
    static std::vector<FastCustomRecord> SavedEntries() {
        CustomsTable customs("ZenCtb");
        customs.Open(false);
        customs.Load();
        return customs.WithRecords([](const CustomsTable::Set& set) {
            return std::vector<FastCustomRecord>(set.begin(), set.end());
        });
    }

    static std::map<fs::path, std::string> DataFiles() {
        std::map<fs::path, std::string> files;
        for (const auto& entry : fs::directory_iterator(paths::DataDir())) {
            files[entry.path()] = test::ReadAll(entry.path());
        }
        return files;
    }

    std::unique_ptr<CDBManager> db;
};

TEST_F(RulesEditorTest, NewGroupsAndUsersGetFreshIdsAndTheirGroup) {
    const FastUsersRecord kids = Record(u"Kids");
    const FastUsersRecord alice = Record(u"alice");
    EXPECT_EQ(kids.UserID, 5u);  // after the three groups and the set-up account
    EXPECT_EQ(kids.ParentID, 0u);
    EXPECT_EQ(alice.UserID, 6u);
    EXPECT_EQ(alice.ParentID, kids.UserID);
    // A new group starts from the rules default: every category under its own timetable.
    EXPECT_EQ(kids.Internet, 1u);
    EXPECT_EQ(kids.ShutDown, 1u);
    EXPECT_EQ(kids.limits[kPowerSlot].enable, 0u);
}

TEST_F(RulesEditorTest, NamesAsLongAsTheRecordHoldsAreAccepted) {
    const std::u16string name = u"abcdefghijklmnopqrstuvwx";
    ASSERT_EQ(name.size(), kNameUnits);
    EXPECT_EQ(AddGroup(*db, name), EditStatus::Done);
    EXPECT_EQ(FieldText(Record(name).name), name);
}

// A login longer than the record's name is stored cut, and found by that cut name: the
// rules in force are its group's, and no second user is made up for it.
TEST_F(RulesEditorTest, LongLoginGetsItsGroupsRules) {
    const std::u16string login = u"a-thirty-character-login-name!";
    ASSERT_EQ(login.size(), 30u);
    ASSERT_EQ(AddUser(*db, login.substr(0, kNameUnits), u"Kids"), EditStatus::Done);
    const std::size_t records = db->Users().WithRecords([](auto& set) { return set.size(); });
    db->SetCurrentUserName(login);
    ASSERT_EQ(db->SetCurrentUser(), 1);
    EXPECT_EQ(db->CurrentGroupName(), u"Kids");
    EXPECT_EQ(db->Users().WithRecords([](auto& set) { return set.size(); }), records);
}

TEST_F(RulesEditorTest, RefusalsChangeNoByte) {
    struct Case {
        const char* what;
        EditStatus (*edit)(CDBManager&);
        EditStatus expected;
    };
    const Case cases[] = {
        {"group name taken in other case", [](CDBManager& d) { return AddGroup(d, u"KIDS"); },
         EditStatus::AlreadyExists},
        {"user name taken by a group", [](CDBManager& d) { return AddUser(d, u"kids", u"Users"); },
         EditStatus::AlreadyExists},
        {"empty name", [](CDBManager& d) { return AddGroup(d, u""); }, EditStatus::BadName},
        {"25 characters", [](CDBManager& d) { return AddGroup(d, u"abcdefghijklmnopqrstuvwxy"); },
         EditStatus::BadName},
        {"control character", [](CDBManager& d) { return AddUser(d, u"bo\nb", u"Kids"); },
         EditStatus::BadName},
        {"C1 control character", [](CDBManager& d) { return AddGroup(d, u"K\u009Bids"); },
         EditStatus::BadName},
        {"wildcard", [](CDBManager& d) { return AddGroup(d, u"K*"); }, EditStatus::BadName},
        {"All Users", [](CDBManager& d) { return AddGroup(d, u"all users"); }, EditStatus::BadName},
        {"user into a user", [](CDBManager& d) { return AddUser(d, u"bob", u"alice"); },
         EditStatus::NotAGroup},
        {"user into nothing", [](CDBManager& d) { return AddUser(d, u"bob", u"Nobody"); },
         EditStatus::NotFound},
        {"rename built-in", [](CDBManager& d) { return RenameRecord(d, u"Guests", u"Visitors"); },
         EditStatus::BuiltIn},
        {"rename onto another", [](CDBManager& d) { return RenameRecord(d, u"alice", u"Users"); },
         EditStatus::AlreadyExists},
        {"delete built-in", [](CDBManager& d) { return DeleteRecord(d, u"Users", u""); },
         EditStatus::BuiltIn},
        {"delete non-empty group", [](CDBManager& d) { return DeleteRecord(d, u"Kids", u""); },
         EditStatus::GroupNotEmpty},
        {"delete the logged-on user",
         [](CDBManager& d) { return DeleteRecord(d, u"alice", u"ALICE"); },
         EditStatus::ProtectedUser},
        {"move a group", [](CDBManager& d) { return MoveUser(d, u"Kids", u"Users"); },
         EditStatus::NotAUser},
        {"move into a user", [](CDBManager& d) { return MoveUser(d, u"parent", u"alice"); },
         EditStatus::NotAGroup},
        {"mode 2", [](CDBManager& d) { return SetTimetableMode(d, u"Kids", Category::Power, 2); },
         EditStatus::OutOfRange},
        {"schedule of a user",
         [](CDBManager& d) { return SetLimitEnabled(d, u"alice", Category::Power, true); },
         EditStatus::NotAGroup},
        {"empty time range",
         [](CDBManager& d) {
             return SetTimetableRange(d, u"Kids", Category::Internet, 0x3E, 40, 40, false);
         },
         EditStatus::OutOfRange},
        {"slot past the day",
         [](CDBManager& d) {
             return SetTimetableRange(d, u"Kids", Category::Internet, 0x3E, 0, 97, false);
         },
         EditStatus::OutOfRange},
        {"no days",
         [](CDBManager& d) {
             return SetTimetableRange(d, u"Kids", Category::Internet, 0, 0, 96, false);
         },
         EditStatus::OutOfRange},
        {"1441 minutes",
         [](CDBManager& d) { return SetLimitMinutes(d, u"Kids", Category::Power, 0x7F, 1441); },
         EditStatus::OutOfRange},
        {"end action 7", [](CDBManager& d) { return SetShutDown(d, u"Kids", 7); },
         EditStatus::OutOfRange},
        {"127-character warning",
         [](CDBManager& d) { return SetCustomWarning(d, u"Kids", std::u16string(127, u'x')); },
         EditStatus::TooLong},
        {"entry for a user",
         [](CDBManager& d) { return AddProgramEntry(d, 2, u"alice", u"/bin/sh", 1); },
         EditStatus::NotAGroup},
        {"entry of mode 3",
         [](CDBManager& d) { return AddProgramEntry(d, 3, u"Kids", u"/bin/sh", 1); },
         EditStatus::OutOfRange},
        {"removing what is not there",
         [](CDBManager& d) { return RemoveProgramEntries(d, 2, u"Kids", u"/bin/sh", {}); },
         EditStatus::NoSuchEntry},
        {"24-character password",
         [](CDBManager& d) { return SetAdminPassword(d, std::u16string(24, u'p')); },
         EditStatus::TooLong},
    };
    const auto before = DataFiles();
    for (const Case& c : cases) {
        EXPECT_EQ(c.edit(*db), c.expected) << c.what;
        EXPECT_EQ(DataFiles(), before) << c.what;
    }
}

TEST_F(RulesEditorTest, RenamedGroupKeepsItsUsersAndProgramEntries) {
    ASSERT_EQ(AddProgramEntry(*db, kControlledMode, u"kids", u"/usr/bin/game", 0x1234),
              EditStatus::Done);
    ASSERT_EQ(RenameRecord(*db, u"Kids", u"Children"), EditStatus::Done);
    EXPECT_FALSE(FindUser(db->Users(), u"Kids"));
    const FastUsersRecord children = Record(u"Children");
    EXPECT_EQ(children.UserID, 5u);
    EXPECT_EQ(Record(u"alice").ParentID, children.UserID);
    const auto entries = SavedEntries();
    const auto game = std::find_if(entries.begin(), entries.end(), [](const FastCustomRecord& e) {
        return FieldText(e.szVal) == u"/usr/bin/game";
    });
    ASSERT_NE(game, entries.end());
    // Stored under the group's own spelling, and carried to its new name.
    EXPECT_EQ(FieldText(game->UserID), u"Children");
    // A user can change only the case of its name.
    EXPECT_EQ(RenameRecord(*db, u"alice", u"Alice"), EditStatus::Done);
    EXPECT_EQ(FieldText(Record(u"alice").name), u"Alice");
}

TEST_F(RulesEditorTest, GroupEmptiedOfItsLastUserCanBeDeleted) {
    EXPECT_EQ(DeleteRecord(*db, u"Kids", u""), EditStatus::GroupNotEmpty);
    ASSERT_EQ(MoveUser(*db, u"alice", u"Users"), EditStatus::Done);
    EXPECT_EQ(Record(u"alice").ParentID, kUsersId);
    EXPECT_EQ(DeleteRecord(*db, u"Kids", u""), EditStatus::Done);
    EXPECT_FALSE(FindUser(db->Users(), u"Kids"));
    EXPECT_EQ(DeleteRecord(*db, u"alice", u"parent"), EditStatus::Done);
    EXPECT_EQ(DeleteRecord(*db, u"alice", u""), EditStatus::NotFound);
}

TEST_F(RulesEditorTest, GroupWideSettingsReachTheGroupAndEveryUserOfIt) {
    ASSERT_EQ(AddUser(*db, u"bob", u"Kids"), EditStatus::Done);
    // A user's name stands for its group.
    ASSERT_EQ(SetDisable(*db, u"alice", true), EditStatus::Done);
    ASSERT_EQ(SetShowCustomWarning(*db, u"Kids", true), EditStatus::Done);
    ASSERT_EQ(SetCustomWarning(*db, u"Kids", u"Time for homework"), EditStatus::Done);
    for (const char16_t* name : {u"Kids", u"alice", u"bob"}) {
        const FastUsersRecord record = Record(name);
        EXPECT_EQ(record.Disable, 1u) << Utf16ToUtf8(name);
        EXPECT_EQ(record.ShowCustomWarning, 1u);
        EXPECT_EQ(FieldText(record.CustomWarning), u"Time for homework");
    }
    EXPECT_EQ(Record(u"Users").Disable, 0u);
    // A user joining later takes the group's settings along.
    ASSERT_EQ(MoveUser(*db, u"parent", u"Kids"), EditStatus::Done);
    EXPECT_EQ(Record(u"parent").Disable, 1u);
}

TEST_F(RulesEditorTest, TimetableRangeChangesExactlyItsQuarterHours) {
    constexpr uint8_t kWeekdays = 0x3E;  // Monday to Friday
    ASSERT_EQ(SetTimetableRange(*db, u"Kids", Category::Internet, kWeekdays, 32, 60, false),
              EditStatus::Done);
    const FastUsersRecord kids = Record(u"Kids");
    for (int day = 0; day < 7; ++day) {
        for (int slot = 0; slot < 96; ++slot) {
            LocalTime at;
            at.weekday = day;
            at.hour = slot / 4;
            at.minute = slot % 4 * 15 + (slot % 4 == 0 ? 0 : 1);
            const bool forbidden = day >= 1 && day <= 5 && slot >= 32 && slot < 60;
            EXPECT_EQ(IsAllowedAt(kids.timetables[kInternetSlot], at), !forbidden)
                << "day " << day << " slot " << slot;
        }
    }
    // The other categories and the common timetable are untouched.
    EXPECT_EQ(
        std::memcmp(&kids.timetables[kPowerSlot], &kids.timetables[kCommonSlot], sizeof(Timetable)),
        0);
    const Timetable all = AllAllowed();
    EXPECT_EQ(std::memcmp(&kids.timetables[kPowerSlot], &all, sizeof all), 0);
    ASSERT_EQ(SetTimetableRange(*db, u"Kids", Category::Internet, kWeekdays, 32, 60, true),
              EditStatus::Done);
    const FastUsersRecord again = Record(u"Kids");
    EXPECT_EQ(std::memcmp(&again.timetables[kInternetSlot], &all, sizeof all), 0);
}

TEST_F(RulesEditorTest, LimitsAndModesLandInTheirCategorysFields) {
    ASSERT_EQ(SetLimitMinutes(*db, u"Kids", Category::Program, 0x41, 90), EditStatus::Done);
    ASSERT_EQ(SetLimitEnabled(*db, u"Kids", Category::Program, true), EditStatus::Done);
    ASSERT_EQ(SetTimetableMode(*db, u"Kids", Category::CDROM, 0), EditStatus::Done);
    ASSERT_EQ(SetShutDown(*db, u"Kids", 0), EditStatus::Done);
    const FastUsersRecord kids = Record(u"Kids");
    const TimeLimitsTable& block = kids.limits[kProgramSlot];
    EXPECT_EQ(block.enable, 1u);
    const uint32_t expected[7] = {90, 10, 10, 10, 10, 10, 90};
    EXPECT_TRUE(std::equal(std::begin(expected), std::end(expected), block.minutes));
    EXPECT_EQ(kids.limits[kPowerSlot].enable, 0u);
    EXPECT_EQ(kids.CDROM, 0u);
    EXPECT_EQ(kids.Program, 1u);
    EXPECT_EQ(kids.ShutDown, 0u);
}

TEST_F(RulesEditorTest, ProgramEntriesAreAddedOnceAndRemovedByPathOrChecksum) {
    ASSERT_EQ(AddProgramEntry(*db, kControlledMode, u"Kids", u"/usr/games/tetris", 0xAA),
              EditStatus::Done);
    ASSERT_EQ(AddProgramEntry(*db, kControlledMode, u"Kids", u"/usr/games/tetris", 0xAA),
              EditStatus::Done);
    ASSERT_EQ(AddProgramEntry(*db, kControlledMode, u"Kids", u"/usr/games/tetris", 0xBB),
              EditStatus::Done);
    ASSERT_EQ(AddProgramEntry(*db, kTrustedMode, u"All Users", u"/usr/bin/apt", 0xCC),
              EditStatus::Done);
    const auto count = [](uint16_t mode) {
        const auto entries = SavedEntries();
        return std::count_if(entries.begin(), entries.end(), [&](const FastCustomRecord& e) {
            return e.Mode == mode && !FieldText(e.UserID).empty();
        });
    };
    EXPECT_EQ(count(kControlledMode), 2);
    EXPECT_EQ(count(kTrustedMode), 1);
    const auto apt = FindProgramEntry(db->Customs(), kTrustedMode, kAllUsers, u"", 0xCC);
    ASSERT_TRUE(apt);
    EXPECT_EQ(apt->TimetableState, 0u);
    EXPECT_TRUE(EntryAllowsAt(*apt, LocalTime{}));

    std::size_t removed = 0;
    ASSERT_EQ(
        RemoveProgramEntries(*db, kControlledMode, u"kids", u"/usr/games/tetris", 0xBB, &removed),
        EditStatus::Done);
    EXPECT_EQ(removed, 1u);
    ASSERT_EQ(
        RemoveProgramEntries(*db, kControlledMode, u"Kids", u"/usr/games/tetris", {}, &removed),
        EditStatus::Done);
    EXPECT_EQ(removed, 1u);
    EXPECT_EQ(count(kControlledMode), 0);
    // The exception list is another kind: untouched.
    EXPECT_EQ(count(kTrustedMode), 1);
}

TEST_F(RulesEditorTest, EditsKeepWhatAnotherProcessSavedMeanwhile) {
    // A second manager stands for another process; this one has not reloaded since.
    CDBManager other;
    ASSERT_EQ(other.Init(false), 1);
    ASSERT_EQ(AddGroup(other, u"Teens"), EditStatus::Done);
    ASSERT_EQ(EditOptions(other,
                          [](Options& o) {
                              SetFieldText(o.SMTPServer, u"mail.example");
                              return EditStatus::Done;
                          }),
              EditStatus::Done);

    ASSERT_EQ(AddGroup(*db, u"Babies"), EditStatus::Done);
    ASSERT_EQ(EditOptions(*db,
                          [](Options& o) {
                              o.Port = 587;
                              return EditStatus::Done;
                          }),
              EditStatus::Done);

    CDBManager reader;
    ASSERT_EQ(reader.Init(false), 1);
    EXPECT_TRUE(FindUser(reader.Users(), u"Teens"));
    EXPECT_TRUE(FindUser(reader.Users(), u"Babies"));
    EXPECT_NE(Record(u"Teens").UserID, Record(u"Babies").UserID);
    const Options saved = reader.OptionsCopy();
    EXPECT_EQ(FieldText(saved.SMTPServer), u"mail.example");
    EXPECT_EQ(saved.Port, 587u);
}

TEST_F(RulesEditorTest, RefusedOptionEditSavesNothing) {
    const std::string before = test::ReadAll(OptionsFilePath());
    const EditStatus status = EditOptions(*db, [](Options& o) {
        o.Port = 1;
        return EditStatus::OutOfRange;
    });
    EXPECT_EQ(status, EditStatus::OutOfRange);
    EXPECT_EQ(test::ReadAll(OptionsFilePath()), before);
    EXPECT_EQ(db->OptionsCopy().Port, 25u);
}

TEST(OptionFieldsTest, ValuesAreCheckedAgainstWhatTheFieldHolds) {
    struct Case {
        const char* field;
        std::u16string value;
        EditStatus expected;
    };
    const Case cases[] = {
        {"Port", u"587", EditStatus::Done},
        {"port", u"65536", EditStatus::OutOfRange},
        {"Port", u"-1", EditStatus::OutOfRange},
        {"Port", u" 25", EditStatus::OutOfRange},
        {"TimeFormat", u"1", EditStatus::Done},
        {"TimeFormat", u"5", EditStatus::OutOfRange},
        {"SelectionType", u"2", EditStatus::Done},
        {"SelectionType", u"3", EditStatus::OutOfRange},
        {"SendDailyReport", u"on", EditStatus::Done},
        {"SendDailyReport", u"2", EditStatus::OutOfRange},
        {"WarningsSize", u"4294967295", EditStatus::Done},
        {"WarningsSize", u"4294967296", EditStatus::OutOfRange},
        {"SMTPServer", std::u16string(38, u's'), EditStatus::Done},
        {"SMTPServer", std::u16string(39, u's'), EditStatus::TooLong},
        {"SMTPTo", std::u16string(150, u't'), EditStatus::Done},
        {"EMailName", std::u16string(24, u'n'), EditStatus::TooLong},
        // A port of 0 reaches no server; the server's name carries no port of its own.
        {"Port", u"0", EditStatus::OutOfRange},
        {"Port", u"000", EditStatus::OutOfRange},
        {"SMTPServer", u"mail.example.org:587", EditStatus::OutOfRange},
        {"SMTPServer", u"[::1]:25", EditStatus::OutOfRange},
        {"SMTPServer", u"mail.example.org ", EditStatus::OutOfRange},
        {"SMTPServer", u"fe80::1", EditStatus::Done},
    };
    for (const Case& c : cases) {
        const OptionField* field = FindOptionField(c.field);
        ASSERT_NE(field, nullptr) << c.field;
        Options options = OptionsDefault();
        const Options before = options;
        EXPECT_EQ(SetOptionValue(options, *field, c.value), c.expected) << c.field;
        if (c.expected == EditStatus::Done) {
            EXPECT_EQ(OptionValueText(options, *field), c.value == u"on" ? u"1" : c.value)
                << c.field;
        } else {
            EXPECT_EQ(std::memcmp(&options, &before, sizeof options), 0) << c.field;
        }
    }
    // Secrets are not among them: they are set apart, as long as the panel's edits take.
    for (const char* secret : {"password", "serverPassword", "reportPassword", "deviceState"}) {
        EXPECT_EQ(FindOptionField(secret), nullptr) << secret;
    }
    for (const SecretField* secret : {&ServerPasswordField(), &ReportPasswordField()}) {
        Options options = OptionsDefault();
        EXPECT_EQ(SetSecretValue(options, *secret, std::u16string(24, u'x')), EditStatus::TooLong);
        EXPECT_EQ(secret->text(options), u"") << secret->name;
        EXPECT_EQ(SetSecretValue(options, *secret, std::u16string(23, u'x')), EditStatus::Done);
        EXPECT_EQ(secret->text(options), std::u16string(23, u'x')) << secret->name;
    }
}

}  // namespace
}  // namespace zen
