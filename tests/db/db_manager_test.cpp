#include <chrono>
#include <cstring>
#include <thread>

#include "common/db/db_manager.h"
#include "common/db/messages.h"
#include "common/db/options_file.h"
#include "common/db/rules_model.h"
#include "platform/root.h"
#include "platform/text.h"
#include "support/child_process.h"
#include "support/eventually.h"
#include "support/temp_root.h"

namespace zen {
namespace {

using test::Eventually;

namespace fs = std::filesystem;

class DatabaseTest : public test::RootedTest {
protected:
    void SetUp() override { ::setenv("SUDO_USER", "parent", 1); }
    void TearDown() override { ::unsetenv("SUDO_USER"); }

    // The set-up's database step: a fresh database made by the creator.
    static void CreateDatabase() {
        CDBManager creator;
        ASSERT_EQ(creator.SaveOptionsAndNotify(), 1);  // the defaults, before Init
        ASSERT_EQ(creator.Init(true), 1);
    }
};

TEST_F(DatabaseTest, CreatorMakesGroupsSetupAccountAndEveryFile) {
    CDBManager db;
    ASSERT_EQ(db.Init(true), 1);
    struct Expected {
        std::u16string name;
        uint32_t id, parent;
    };
    const Expected expected[] = {
        {u"Administrators", 1, 0}, {u"Users", 2, 0}, {u"Guests", 3, 0}, {u"parent", 4, 1}};
    for (const Expected& e : expected) {
        const auto record = FindUser(db.Users(), e.name);
        ASSERT_TRUE(record) << Utf16ToUtf8(e.name);
        EXPECT_EQ(record->UserID, e.id);
        EXPECT_EQ(record->ParentID, e.parent);
    }
    EXPECT_EQ(db.Users().WithRecords([](auto& records) { return records.size(); }), 4u);
    const auto guests = FindGroupById(db.Users(), kGuestsId);
    EXPECT_EQ(guests->WarnType, 2u);
    EXPECT_EQ(guests->TrustedAppList, 1u);
    EXPECT_EQ(guests->ShutDown, 0u);

    EXPECT_EQ(db.CurrentUserName(), u"parent");
    EXPECT_EQ(db.CurrentGroupName(), u"Administrators");
    for (const char* file :
         {"ZenUsr.dat", "ZenCtb.dat", "ZenMsg.dat", "Zenwgs.dat", "Zenavt.dat"}) {
        EXPECT_TRUE(fs::is_regular_file(root / "var/lib/zentimo" / file)) << file;
    }
    db.SaveOptionsAndNotify();
    EXPECT_TRUE(fs::is_regular_file(OptionsFilePath()));

    // Protected programs: trusted entries of no user, identified by their checksum.
    db.Customs().WithRecords([](auto& records) {
        for (const FastCustomRecord& entry : records) {
            EXPECT_EQ(entry.Mode, 1);
            EXPECT_TRUE(FieldText(entry.UserID).empty());
            EXPECT_NE(entry.dwVal, 0u);
        }
    });
    db.Term();
    db.Term();  // a second Term does nothing
}

TEST_F(DatabaseTest, ReaderNeedsTheFilesAndTheOptions) {
    CDBManager reader;
    EXPECT_EQ(reader.Init(false), 0);
    EXPECT_NE(root.ErrorLog().find("Failed to load options, Code: 0x70C1\r\n"), std::string::npos);
    EXPECT_NE(root.ErrorLog().find("ShowSysError: Code: Code: 0x80040100, Init\r\n"),
              std::string::npos);
    EXPECT_NE(root.ErrorLog().find(", Failed to initialize options\r\n"), std::string::npos);
}

TEST_F(DatabaseTest, OptionsRoundTripAndTruncation) {
    NamedMutex mutex;
    ASSERT_TRUE(mutex.Open("_QRT_OptionsMutex_"));
    Options written = OptionsDefault();
    SetFieldText(written.SMTPServer, u"mail.example.org");
    written.lastReportTime = 0x1122334455667788;
    written.reserved3[17] = 0x7F;  // in the clear tail
    ASSERT_EQ(SerializeOptions(written, true, false, false, mutex), 1);
    EXPECT_EQ(fs::status(OptionsFilePath()).permissions(), fs::perms(0666));

    Options read = OptionsDefault();
    ASSERT_EQ(SerializeOptions(read, false, false, false, mutex), 1);
    EXPECT_EQ(std::memcmp(&read, &written, sizeof read), 0);
    const std::string stored = test::ReadAll(OptionsFilePath());
    EXPECT_EQ(stored.size(), 1944u);
    EXPECT_EQ(stored.back(), '\x7F');

    // A short file is a failed read that changes nothing: an emptied file must not turn
    // into defaults without a password.
    for (const std::size_t length : {std::size_t{0}, std::size_t{130}, stored.size() - 1}) {
        test::WriteAll(OptionsFilePath(), stored.substr(0, length));
        Options partial = written;
        EXPECT_EQ(SerializeOptions(partial, false, false, false, mutex), 0) << length;
        EXPECT_EQ(std::memcmp(&partial, &written, sizeof partial), 0) << length;
    }
    EXPECT_NE(root.ErrorLog().find("Failed to load options, Code: 0x70C3\r\n"), std::string::npos);
    Options partial = OptionsDefault();

    // A planted link is not followed.
    fs::remove(OptionsFilePath());
    test::WriteAll(root / "elsewhere", stored);
    fs::create_symlink(root / "elsewhere", OptionsFilePath());
    EXPECT_EQ(SerializeOptions(partial, false, false, false, mutex), 0);
    EXPECT_NE(root.ErrorLog().find("ShowSysError: Code: Code: 0x80040404, Options::Serialize\r\n"),
              std::string::npos);
    EXPECT_NE(root.ErrorLog().find("Failed to load options, Code: 0x70C2\r\n"), std::string::npos);
}

TEST_F(DatabaseTest, CurrentUserTakesItsGroupsRules) {
    CreateDatabase();
    CDBManager db;
    ASSERT_EQ(db.Init(false), 1);

    // An unknown name joins "Guests" with the next identifier.
    db.SetCurrentUserName(u"kid");
    ASSERT_EQ(db.SetCurrentUser(), 1);
    const auto kid = FindUser(db.Users(), u"kid");
    ASSERT_TRUE(kid);
    EXPECT_EQ(kid->UserID, 5u);
    EXPECT_EQ(kid->ParentID, kGuestsId);
    EXPECT_EQ(db.CurrentGroupName(), u"Guests");
    EXPECT_EQ(FieldText(db.CurrentRulesCopy().name), u"Guests");

    // A group's name cannot become the current user.
    db.SetCurrentUserName(u"users");
    EXPECT_EQ(db.SetCurrentUser(), 0);
    EXPECT_NE(root.ErrorLog().find(", Failed to add a new user\r\n"), std::string::npos);
    EXPECT_EQ(db.CurrentGroupName(), u"Guests");

    // Nobody at the console: no nameless user is made up.
    db.SetCurrentUserName(u"");
    EXPECT_EQ(db.SetCurrentUser(), 1);
    EXPECT_FALSE(FindUser(db.Users(), u""));
}

ZEN_CHILD(move_user_to_group) {
    CDBManager db;
    if (db.Init(false) == 0) {
        return 1;
    }
    const std::u16string user = Utf8ToUtf16(args.at(0));
    const auto group = FindUser(db.Users(), Utf8ToUtf16(args.at(1)));
    const int saved = db.Users().Update([&](UsersTable::Set& records) {
        auto record = *FindUser(db.Users(), user);
        records.erase(record);
        record.ParentID = group->UserID;
        return records.insert(record).second;
    });
    CDBManager::PulseReload();
    return saved == 1 ? 0 : 2;
}

TEST_F(DatabaseTest, AnotherProcessesSaveIsFollowedByTheWatcher) {
    CreateDatabase();
    CDBManager db;
    ASSERT_EQ(db.Init(false), 1);
    db.SetCurrentUserName(u"kid");
    ASSERT_EQ(db.SetCurrentUser(), 1);
    ASSERT_EQ(db.CurrentGroupName(), u"Guests");

    ASSERT_EQ(test::RunChild("move_user_to_group", {"kid", "Users"}), 0);
    EXPECT_TRUE(Eventually([&] { return db.CurrentGroupName() == u"Users"; }));
    EXPECT_EQ(FieldText(db.CurrentRulesCopy().name), u"Users");
}

ZEN_CHILD(add_messages) {
    CDBManager db;
    if (db.Init(false) == 0) {
        return 1;
    }
    db.SetCurrentUserName(Utf8ToUtf16(args.at(0)));
    db.SetCurrentUser();
    // All of them before any watcher can read the table: they arrive between two reloads.
    NamedMutexLock together(db.Messages().Mutex());
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (AddMessage(db, Utf8ToUtf16(args[i])) == 0) {
            return 2;
        }
    }
    return 0;
}

// What a control panel's message hook was handed, collected across its watcher thread.
class ShownMessages {
public:
    CDBManager::MessageHook Hook() {
        return [this](const std::u16string& text) {
            std::lock_guard lock(guard_);
            texts_.push_back(text);
        };
    }
    std::vector<std::u16string> Texts() {
        std::lock_guard lock(guard_);
        return texts_;
    }

private:
    std::mutex guard_;
    std::vector<std::u16string> texts_;
};

// A panel's database for `user`, whose messages go to `shown`.
void OpenPanel(CDBManager& panel, ShownMessages& shown, std::u16string_view user) {
    panel.SetMessageHook(shown.Hook());
    ASSERT_EQ(panel.Init(false), 1);
    panel.SetCurrentUserName(user);
    ASSERT_EQ(panel.SetCurrentUser(), 1);
}

TEST_F(DatabaseTest, MessagesForTheGroupArriveAsOneNotification) {
    CreateDatabase();
    ShownMessages shown;
    CDBManager panel;
    OpenPanel(panel, shown, u"parent");

    // A message for another group first: it stays in the table.
    ASSERT_EQ(test::RunChild("add_messages", {"kid", "for the guests"}), 0);
    // Three for this panel's group at once: one notification, with the first text.
    ASSERT_EQ(test::RunChild("add_messages", {"parent", "first", "second", "third"}), 0);
    ASSERT_TRUE(Eventually([&] { return !shown.Texts().empty(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(shown.Texts(), std::vector<std::u16string>{u"first"});
    const auto left = panel.Messages().WithRecords([](auto& records) {
        std::vector<std::u16string> names;
        for (const CustomMessage& m : records) {
            names.emplace_back(FieldText(m.name));
        }
        return names;
    });
    EXPECT_EQ(left, std::vector<std::u16string>{u"Guests"});
}

TEST_F(DatabaseTest, CustomWarningReplacesTheMessages) {
    CreateDatabase();
    {
        CDBManager editor;
        ASSERT_EQ(editor.Init(false), 1);
        editor.Users().Update([&](UsersTable::Set& records) {
            auto group = *FindUser(editor.Users(), u"Administrators");
            records.erase(group);
            group.ShowCustomWarning = 1;
            SetFieldText(group.CustomWarning, u"Time to stop, please.");
            return records.insert(group).second;
        });
    }
    ShownMessages shown;
    CDBManager panel;
    OpenPanel(panel, shown, u"parent");
    ASSERT_EQ(test::RunChild("add_messages", {"parent", "plain text"}), 0);
    ASSERT_TRUE(Eventually([&] { return !shown.Texts().empty(); }));
    EXPECT_EQ(shown.Texts().front(), u"Time to stop, please.");
}

TEST_F(DatabaseTest, DeviceStateIsSavedOnlyWhenItChangesAndFits) {
    CreateDatabase();
    CDBManager db;
    ASSERT_EQ(db.Init(false), 1);
    ASSERT_EQ(db.SaveDeviceState(u"/media/usb"), 1);
    const auto stamp = StampOf(OptionsFilePath());
    ASSERT_EQ(db.SaveDeviceState(u"/media/usb"), 1);
    EXPECT_EQ(StampOf(OptionsFilePath()), stamp);

    EXPECT_EQ(db.SaveDeviceState(std::u16string(511, u'x')), 0);
    EXPECT_NE(root.ErrorLog().find("SaveLastState DynamicBuffer overload"), std::string::npos);
    EXPECT_EQ(FieldText(db.OptionsCopy().deviceState), u"/media/usb");
    EXPECT_EQ(db.SaveDeviceState(std::u16string(510, u'y')), 1);
    EXPECT_EQ(FieldText(db.OptionsCopy().deviceState).size(), 510u);

    // Another process's save, not yet taken in, is kept by the next state save.
    NamedMutex mutex;
    ASSERT_TRUE(mutex.Open("_QRT_OptionsMutex_"));
    Options other{};
    ASSERT_EQ(SerializeOptions(other, false, false, false, mutex), 1);
    SetFieldText(other.SMTPServer, u"mail.example.org");
    ASSERT_EQ(SerializeOptions(other, true, false, false, mutex), 1);
    ASSERT_EQ(db.SaveDeviceState(u"/media/dvd"), 1);
    Options stored{};
    ASSERT_EQ(SerializeOptions(stored, false, false, false, mutex), 1);
    EXPECT_EQ(FieldText(stored.SMTPServer), u"mail.example.org");
    EXPECT_EQ(FieldText(stored.deviceState), u"/media/dvd");
}

TEST_F(DatabaseTest, ResetFilesKeepsTheMessages) {
    CreateDatabase();
    CDBManager db;
    ASSERT_EQ(db.Init(false), 1);
    db.SaveOptionsAndNotify();
    db.Term();
    // The service's last good copies, which would otherwise bring the files back.
    fs::create_directories(paths::BackupDir());
    for (const auto& entry : fs::directory_iterator(paths::DataDir())) {
        fs::copy_file(entry.path(), paths::BackupDir() / entry.path().filename());
    }
    db.ResetFiles();
    EXPECT_FALSE(fs::exists(OptionsFilePath()));
    EXPECT_FALSE(fs::exists(paths::BackupDir() / OptionsFilePath().filename()));
    for (const char* gone : {"ZenUsr.dat", "ZenCtb.dat", "Zenwgs.dat", "Zenavt.dat"}) {
        EXPECT_FALSE(fs::exists(root / "var/lib/zentimo" / gone)) << gone;
        EXPECT_FALSE(fs::exists(paths::BackupDir() / gone)) << gone;
    }
    EXPECT_TRUE(fs::exists(root / "var/lib/zentimo/ZenMsg.dat"));
}

}  // namespace
}  // namespace zen
