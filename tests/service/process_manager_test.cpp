// The programs manager against real processes of a child's account that only the temporary
// root's etc/passwd names: activity records, closing of controlled programs, trusted entries
// and the never-watched accounts.
#include "service/managers/process_manager.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include "common/db/checksum.h"
#include "common/db/db_manager.h"
#include "common/db/log_records.h"
#include "common/db/rules_editor.h"
#include "common/db/rules_model.h"
#include "mail/mail_test_support.h"
#include "platform/clock.h"
#include "platform/named_mutex.h"
#include "platform/text.h"
#include "service/mgr_factory.h"
#include "service/service_strings.h"
#include "support/eventually.h"
#include "support/program_run.h"
#include "support/temp_root.h"

namespace zen::test {
namespace {

namespace fs = std::filesystem;

// Accounts that exist only under the temporary root. Each test process has its own: ctest
// runs this binary's tests side by side, and a manager sees every process of the machine.
const uid_t kKidUid = 47000 + 2 * static_cast<uid_t>(::getpid() % 4000);
const uid_t kTeenUid = kKidUid + 1;
constexpr uid_t kDaemonUid = 471;  // below UID_MIN: a system account

// A Wednesday, 10:00 UTC.
constexpr int64_t kMorning = 1'700'042'400;

class ProcessManagerTest : public RootedTest,
                           public ::testing::WithParamInterface<ProcessList::Mode> {
protected:
    void SetUp() override {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "needs root: the test runs programs under accounts of its own root";
        }
        for (const uid_t uid : {kKidUid, kTeenUid, kDaemonUid}) {
            if (::getpwuid(uid) != nullptr) {
                GTEST_SKIP() << "uid " << uid << " is an account of this machine";
            }
        }
        fs::create_directories(root / "etc");
        WriteAll(root / "etc/passwd",
                 "root:x:0:0:root:/root:/bin/sh\n"
                 "daemonish:x:471:471::/:/usr/sbin/nologin\n"
                 "kid:x:" +
                     std::to_string(kKidUid) + ":" + std::to_string(kKidUid) +
                     "::/home/kid:/bin/sh\n"
                     "teen:x:" +
                     std::to_string(kTeenUid) + ":" + std::to_string(kTeenUid) +
                     "::/home/teen:/bin/sh\n");
        WriteAll(root / "etc/login.defs", "# accounts\nUID_MIN\t\t\t 1000\n");
        program = root / "opt/games/tetris";
        InstallProgram("/bin/sleep", program);

        SetNowForTesting(kMorning);
        ASSERT_EQ(db.SaveOptionsAndNotify(), 1);
        ASSERT_EQ(db.Init(true), 1);
        ASSERT_EQ(AddGroup(db, u"Kids"), EditStatus::Done);
        ASSERT_EQ(AddGroup(db, u"Teens"), EditStatus::Done);
        ASSERT_EQ(AddUser(db, u"kid", u"Kids"), EditStatus::Done);
        ASSERT_EQ(AddUser(db, u"teen", u"Teens"), EditStatus::Done);
        db.SetCurrentUserName(u"kid");
        ASSERT_EQ(db.SetCurrentUser(), 1);
        manager.Start();
    }
    void TearDown() override {
        manager.Stop();
        SetNowForTesting(std::nullopt);
        db.Term();
    }

    // The group's programs timetable: every quarter hour allowed or none.
    void ProgramTime(std::u16string_view group, bool allowed) {
        ASSERT_EQ(SetTimetableMode(db, group, Category::Program, 1), EditStatus::Done);
        ASSERT_EQ(SetTimetableRange(db, group, Category::Program, 0x7F, 0, 96, allowed),
                  EditStatus::Done);
        ASSERT_EQ(db.SetCurrentUser(), 1);
    }
    void Control(std::u16string_view owner, const fs::path& file) {
        ASSERT_EQ(
            AddProgramEntry(db, kControlledMode, owner, Utf8ToUtf16(file.string()), CheckSum(file)),
            EditStatus::Done);
    }
    // Gives the controlled entry of `file` a timetable of its own.
    void OwnTimetable(const fs::path& file, const Timetable& timetable) {
        ASSERT_EQ(db.Customs().Update([&](CustomsTable::Set& entries) {
            const auto entry = std::ranges::find_if(entries, [&](const FastCustomRecord& e) {
                return e.Mode == kControlledMode && FieldText(e.szVal) == Path(file);
            });
            FastCustomRecord own = *entry;
            entries.erase(entry);
            own.TimetableState = 1;
            own.timetable = timetable;
            return entries.insert(own).second;
        }),
                  1);
    }
    // The game runs through two passes untouched and ends before a third, which logs its end.
    void ExpectLeftRunning() {
        auto game = Run(program, kKidUid);
        TickAt(kMorning);
        TickAt(kMorning + 5);
        EXPECT_FALSE(game->Ended());
        game->Kill();
        TickAt(kMorning + 10);
        EXPECT_TRUE(Warnings().empty());
    }
    // The "All Users" record, which the panel keeps beside the groups.
    void AllUsersRecord(bool programsAllowed) {
        FastUsersRecord everyone = NamedDefault(kAllUsers);
        everyone.UserID = NextUserId(db.Users());
        everyone.Program = 1;
        everyone.timetables[kProgramSlot] = programsAllowed ? AllAllowed() : Timetable{};
        ASSERT_EQ(db.Users().Update(
                      [&](UsersTable::Set& users) { return users.insert(everyone).second; }),
                  1);
    }

    // The program with other contents in its first bytes (a byte of the ELF header's padding),
    // put in place as a new file, as package updates do.
    void InstallChanged(const fs::path& to, char mark) {
        std::string bytes = ReadAll(root / "opt/games/tetris");
        bytes[10] = mark;
        const fs::path fresh = to.string() + ".new";
        WriteAll(fresh, bytes);
        fs::permissions(fresh, fs::perms(0755));
        fs::rename(fresh, to);
    }

    std::unique_ptr<ProgramRun> Run(const fs::path& file, uid_t uid, bool ignoreTerm = false) {
        auto run = std::make_unique<ProgramRun>(file, uid, ignoreTerm);
        EXPECT_TRUE(Eventually([&] { return run->Started(); })) << file;
        // Past the program's start-up, so the kernel has told everything about it.
        ::usleep(50'000);
        return run;
    }
    void TickAt(int64_t moment) {
        SetNowForTesting(moment);
        manager.Tick();
    }

    std::vector<WarningRecord> Warnings() {
        std::vector<WarningRecord> records;
        VisitLog<WarningRecord>(db.Warnings(),
                                [&](const WarningRecord& r) { records.push_back(r); });
        return records;
    }
    std::vector<ActivityRecord> Activity() {
        std::vector<ActivityRecord> records;
        VisitLog<ActivityRecord>(db.Activity(),
                                 [&](const ActivityRecord& r) { records.push_back(r); });
        return records;
    }
    std::vector<std::u16string> Messages() {
        return db.Messages().WithRecords([](MessagesTable::Set& messages) {
            std::vector<std::u16string> texts;
            for (const CustomMessage& message : messages) {
                texts.emplace_back(FieldText(message.text));
            }
            return texts;
        });
    }
    static bool Terminated(ProgramRun& run, int signal) {
        const auto status = run.Ended();
        return status && WIFSIGNALED(*status) && WTERMSIG(*status) == signal;
    }
    std::u16string Path(const fs::path& file) const { return Utf8ToUtf16(file.string()); }

    fs::path program;
    CDBManager db;
    const std::unique_ptr<SystemActions> actions = MakeSystemActions(Env());
    CProcessManager manager{db, *actions, GetParam()};
};

TEST_P(ProcessManagerTest, ControlledProgramOutsideItsTimeIsClosedWithOneWarningAndOneMessage) {
    ProgramTime(u"Kids", false);
    Control(u"Kids", program);
    auto game = Run(program, kKidUid);

    TickAt(kMorning);
    ASSERT_TRUE(Eventually([&] { return Terminated(*game, SIGTERM); }));
    TickAt(kMorning + 5);  // gone now: its run is logged, nothing is closed again

    const auto warnings = Warnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].kind, 1u);
    EXPECT_EQ(FieldText(warnings[0].program), Path(program));
    EXPECT_EQ(Utf16ToUtf8(FieldText(warnings[0].text)), ServiceString(kIdsProgramClosed));
    EXPECT_EQ(Utf16ToUtf8(FieldText(warnings[0].secondText)), ServiceString(kIdsReasonOutsideTime));
    EXPECT_EQ(Messages(),
              std::vector<std::u16string>{u"The program " + Path(program) + u" has been closed"});
    const auto activity = Activity();
    ASSERT_EQ(activity.size(), 1u);
    EXPECT_EQ(FieldText(activity[0].program), Path(program));
    EXPECT_EQ(activity[0].value, static_cast<uint32_t>(game->pid()));
}

TEST_P(ProcessManagerTest, AClosingIsMailedWithoutItsReasonWhenNotificationsAreOn) {
    AiosmtpdServer server(root / "received", {});
    {
        LockedOptions locked = db.LockOptions();
        Options& options = *locked;
        SetFieldText(options.SMTPServer, u"127.0.0.1");
        options.Port = server.port();
        SetFieldText(options.SMTPFrom, u"zentimo@example.org");
        SetFieldText(options.SMTPTo, u"parent@example.org");
        options.SendNotificationEMail = 1;
        ASSERT_EQ(db.SaveOptionsAndNotify(), 1);
    }
    ProgramTime(u"Kids", false);
    Control(u"Kids", program);
    auto game = Run(program, kKidUid);
    // A process mails at most one notification in 15 s: each run of the test has a moment of
    // its own.
    TickAt(kMorning + 60 * (1 + static_cast<int>(GetParam())));
    ASSERT_EQ(server.MessageCount(), 1);
    const std::string mail = server.Message(1);
    EXPECT_NE(mail.find("Description: The program has been closed"), std::string::npos) << mail;
    EXPECT_EQ(mail.find("Reason"), std::string::npos) << mail;
}

TEST_P(ProcessManagerTest, AnEntrysOwnTimetableDecidesEvenWhenTheGroupHasNone) {
    ASSERT_EQ(SetTimetableMode(db, u"Kids", Category::Program, 0), EditStatus::Done);
    Control(u"Kids", program);
    OwnTimetable(program, Timetable{});  // never
    auto game = Run(program, kKidUid);
    TickAt(kMorning);
    EXPECT_TRUE(Eventually([&] { return Terminated(*game, SIGTERM); }));
}

// A game started through the dynamic loader runs the loader's file, a script the
// interpreter's: both are judged, closed and logged as the game itself.
TEST_P(ProcessManagerTest, GamesStartedThroughTheLoaderOrAnInterpreterAreClosedAsThemselves) {
    std::error_code error;
    const fs::path loader = fs::canonical("/lib64/ld-linux-x86-64.so.2", error);
    const fs::path python = fs::canonical("/usr/bin/python3", error);
    if (!fs::exists(loader) || !fs::exists(python)) {
        GTEST_SKIP() << "needs the x86-64 loader and /usr/bin/python3";
    }
    const fs::path script = root / "opt/games/game.py";
    WriteAll(script, "import time\ntime.sleep(600)\n");
    fs::permissions(script, fs::perms(0644));
    struct Case {
        const char* what;
        fs::path executable;
        std::vector<std::string> arguments;
        fs::path game;
    } const cases[] = {
        {"loader", loader, {"ld-linux-x86-64.so.2", "--argv0", "x", "./tetris", "600"}, program},
        {"interpreter", python, {"python3", "-u", "game.py"}, script},
    };
    ProgramTime(u"Kids", false);
    int64_t moment = kMorning;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Control(u"Kids", c.game);
        const std::size_t warningsBefore = Warnings().size();
        const std::size_t activityBefore = Activity().size();
        auto game =
            std::make_unique<ProgramRun>(c.executable, c.arguments, root / "opt/games", kKidUid);
        ASSERT_TRUE(Eventually([&] { return game->Started(); }));
        ::usleep(200'000);  // past the interpreter's start-up

        TickAt(moment += 5);
        TickAt(moment += 5);
        ASSERT_TRUE(Eventually([&] { return Terminated(*game, SIGTERM); }));
        TickAt(moment += 5);  // gone now: its run is logged

        const auto warnings = Warnings();
        ASSERT_EQ(warnings.size(), warningsBefore + 1);
        EXPECT_EQ(FieldText(warnings.back().program), Path(c.game));
        EXPECT_EQ(Utf16ToUtf8(FieldText(warnings.back().secondText)),
                  ServiceString(kIdsReasonOutsideTime));
        const auto activity = Activity();
        ASSERT_EQ(activity.size(), activityBefore + 1);
        EXPECT_EQ(FieldText(activity.back().program), Path(c.game));
    }
}

TEST_P(ProcessManagerTest, DisabledRulesCloseNothingButRunsAreStillLogged) {
    ProgramTime(u"Kids", false);
    Control(u"Kids", program);
    ASSERT_EQ(SetDisable(db, u"Kids", true), EditStatus::Done);
    ASSERT_EQ(db.SetCurrentUser(), 1);
    ExpectLeftRunning();
    EXPECT_EQ(Activity().size(), 1u);
}

TEST_P(ProcessManagerTest, ARenamedCopyIsMatchedByChecksumAndAChangedFileIsNot) {
    ProgramTime(u"Kids", false);
    Control(u"Kids", program);
    const fs::path copy = root / "home/kid/not-a-game";
    InstallProgram(program, copy);
    auto renamed = Run(copy, kKidUid);
    TickAt(kMorning);
    EXPECT_TRUE(Eventually([&] { return Terminated(*renamed, SIGTERM); }));

    InstallChanged(program, 'z');
    auto changed = Run(program, kKidUid);
    TickAt(kMorning + 5);
    TickAt(kMorning + 10);
    EXPECT_FALSE(changed->Ended());
    EXPECT_EQ(Warnings().size(), 1u);
}

TEST_P(ProcessManagerTest, AProgramIsJudgedByTheFileItRunsEvenWhenItsPathWasReplaced) {
    ProgramTime(u"Kids", false);
    Control(u"Kids", program);
    auto game = Run(program, kKidUid);
    // An update puts other contents at the path; the running game is still the controlled one.
    InstallChanged(program, 'u');
    TickAt(kMorning);
    EXPECT_TRUE(Eventually([&] { return Terminated(*game, SIGTERM); }));
    ASSERT_EQ(Warnings().size(), 1u);
    EXPECT_EQ(FieldText(Warnings()[0].program), Path(program) + u" (deleted)");
}

TEST_P(ProcessManagerTest, ProgramsThatIgnoreTheRequestAreKilledAboutFiveSecondsLater) {
    ProgramTime(u"Kids", false);
    Control(u"Kids", program);
    const fs::path copy = root / "home/kid/tetris";
    InstallProgram(program, copy);
    // Two of them cost the tick one wait, not two.
    auto stubborn = Run(program, kKidUid, true);
    auto alsoStubborn = Run(copy, kKidUid, true);
    const auto begin = std::chrono::steady_clock::now();
    TickAt(kMorning);
    const auto took = std::chrono::steady_clock::now() - begin;
    EXPECT_TRUE(Eventually([&] { return Terminated(*stubborn, SIGKILL); }));
    EXPECT_TRUE(Eventually([&] { return Terminated(*alsoStubborn, SIGKILL); }));
    EXPECT_GE(took, std::chrono::milliseconds(4900));
    EXPECT_LT(took, std::chrono::milliseconds(7000));
    EXPECT_EQ(Warnings().size(), 2u);
}

TEST_P(ProcessManagerTest, ATrustedProgramIsNeitherClosedNorLogged) {
    ProgramTime(u"Kids", false);
    Control(u"Kids", program);
    // Trusted entries name the owner's own account.
    FastCustomRecord trusted{};
    trusted.Mode = kTrustedMode;
    SetFieldText(trusted.UserID, u"kid");
    SetFieldText(trusted.szVal, Path(program));
    trusted.timetable = AllAllowed();
    ASSERT_EQ(db.Customs().Update(
                  [&](CustomsTable::Set& entries) { return entries.insert(trusted).second; }),
              1);
    ExpectLeftRunning();
    EXPECT_TRUE(Activity().empty());
}

TEST_P(ProcessManagerTest, OnlyTheChildsRunsReachTheActivityLogOneRecordFromItsFirstPass) {
    AllUsersRecord(true);
    auto mine = Run(program, kKidUid);
    auto roots = Run(program, 0);
    auto daemons = Run(program, kDaemonUid);
    for (int pass = 0; pass < 3; ++pass) {
        TickAt(kMorning + 5 * pass);
    }
    for (auto* run : {mine.get(), roots.get(), daemons.get()}) {
        run->Kill();
    }
    TickAt(kMorning + 15);
    TickAt(kMorning + 20);

    const auto activity = Activity();
    ASSERT_EQ(activity.size(), 1u);
    EXPECT_EQ(activity[0].startTime, kMorning);
    EXPECT_EQ(activity[0].endTime, kMorning + 15);
    EXPECT_EQ(activity[0].value, static_cast<uint32_t>(mine->pid()));
    EXPECT_EQ(FieldText(activity[0].program), Path(program));
    EXPECT_TRUE(manager.Tracked().empty());
}

TEST_P(ProcessManagerTest, TheAllUsersPassClosesItsProgramsForEveryGroup) {
    AllUsersRecord(false);
    Control(kAllUsers, program);
    auto kids = Run(program, kKidUid);
    auto teens = Run(program, kTeenUid);
    TickAt(kMorning);
    EXPECT_TRUE(Eventually([&] { return Terminated(*kids, SIGTERM); }));
    EXPECT_TRUE(Eventually([&] { return Terminated(*teens, SIGTERM); }));
    EXPECT_EQ(Warnings().size(), 2u);
}

TEST_P(ProcessManagerTest, UsedUpProgramMinutesCloseEveryControlledProgramAtEachPass) {
    ASSERT_EQ(SetLimitEnabled(db, u"Kids", Category::Program, true), EditStatus::Done);
    ASSERT_EQ(SetLimitMinutes(db, u"Kids", Category::Program, 0x7F, 0), EditStatus::Done);
    const fs::path chess = root / "opt/games/chess";
    InstallChanged(chess, 'c');
    Control(u"Kids", program);
    Control(u"Kids", chess);
    // Its own timetable allows the game all week; only the day's minutes are spent.
    OwnTimetable(program, AllAllowed());

    auto game = Run(program, kKidUid);
    auto other = Run(chess, kKidUid);
    TickAt(kMorning);
    EXPECT_TRUE(Eventually([&] { return Terminated(*game, SIGTERM); }));
    EXPECT_TRUE(Eventually([&] { return Terminated(*other, SIGTERM); }));
    auto again = Run(program, kKidUid);
    TickAt(kMorning + 61);
    EXPECT_TRUE(Eventually([&] { return Terminated(*again, SIGTERM); }));

    const auto warnings = Warnings();
    ASSERT_EQ(warnings.size(), 3u);
    for (const WarningRecord& warning : warnings) {
        EXPECT_EQ(Utf16ToUtf8(FieldText(warning.secondText)),
                  ServiceString(kIdsReasonProgramLimit));
    }
}

TEST(ProcessManagerFactoryTest, TheFactoryMakesTheProgramsManagerWithItsKindAndPeriod) {
    const CMgrFactory factory;
    const auto order = factory.Order();
    const auto place = std::ranges::find_if(order, [](const ManagerCreation& creation) {
        return std::string_view(creation.allocationError) ==
               "#ERROR : Process Manager allocation error";
    });
    ASSERT_NE(place, order.end());
    CDBManager db;
    const auto actions = MakeSystemActions(Env());
    const auto manager = factory.Create(*place, db, *actions);
    EXPECT_EQ(manager->GetKind(), 1004);
    EXPECT_EQ(manager->GetPeriod(), 5000);
}

INSTANTIATE_TEST_SUITE_P(Lists, ProcessManagerTest,
                         ::testing::Values(ProcessList::Mode::FollowEvents,
                                           ProcessList::Mode::ReadWhole),
                         [](const auto& info) {
                             return info.param == ProcessList::Mode::FollowEvents ? "Events"
                                                                                  : "WholeReads";
                         });

}  // namespace
}  // namespace zen::test
