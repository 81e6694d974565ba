// The computer-time manager driven tick by tick at moments of the test's choosing, as the
// tick thread drives it; its minute is shortened, and the actions land in the root's
// actions.log.
#include "service/managers/shutdown_manager.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>

#include "common/db/db_manager.h"
#include "common/db/rules_editor.h"
#include "mail/mail_test_support.h"
#include "platform/clock.h"
#include "platform/console_user.h"
#include "platform/text.h"
#include "service/computer_time_support.h"
#include "service/logind_mock.h"
#include "service/service_strings.h"
#include "service/zensvc_process.h"
#include "support/temp_root.h"

namespace zen::test {
namespace {

const std::u16string kLogoffText = Utf8ToUtf16(ServiceString(kIdsLogoffWarning));
const std::u16string kPowerOffText = Utf8ToUtf16(ServiceString(kIdsShutdownWarning));
constexpr auto kMinute = 300ms;  // the manager's minute in these tests

// Mon 2026-12-07, local time.
int64_t At(int hour, int minute, int second) {
    return LocalMoment(2026, 12, 7, hour, minute, second);
}

class ShutdownManagerTest : public RootedTest {
protected:
    void SetUp() override {
        CreateDatabase();
        ASSERT_EQ(db.Init(false), 1);
        AddKidsForbiddenAtTen(db);
        WriteAll(root / "run/zentimo/seat", "alice\n");
    }
    void TearDown() override {
        SetNowForTesting(std::nullopt);
        db.Term();
    }

    // One tick of the service at `moment` with `user` at the console.
    void TickAt(int64_t moment, std::u16string_view user = u"alice") {
        SetNowForTesting(moment);
        db.SetCurrentUserName(user);
        db.SetCurrentUser();
        manager.Tick();
    }

    // Waits up to `limit` for the manager's timer and serves it as the tick thread does;
    // false when it did not go off.
    bool ServeTimer(std::chrono::milliseconds limit = 2 * kMinute) {
        pollfd timer{manager.TimerFd(), POLLIN, 0};
        if (::poll(&timer, 1, static_cast<int>(limit.count())) != 1) {
            return false;
        }
        manager.OnTimer();
        return true;
    }

    CDBManager db;
    const std::unique_ptr<SystemActions> actions = MakeSystemActions(Env());
    CShutdownManager manager{db, *actions, kMinute};
};

TEST_F(ShutdownManagerTest, ForbiddenQuarterWarnsOnceThenLogsTheSessionOffAfterTheMinute) {
    TickAt(At(10, 0, 5));
    TickAt(At(10, 0, 10));  // still armed for the same action: nothing new
    ASSERT_EQ(WaitingMessages(db), std::vector<std::u16string>{kLogoffText});
    const auto warnings = WarningRecords(db);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].kind, 2u);
    EXPECT_EQ(FieldText(warnings[0].user), u"alice");
    EXPECT_TRUE(kLogoffText.starts_with(FieldText(warnings[0].text)));
    EXPECT_EQ(FieldText(warnings[0].program), u"");
    EXPECT_EQ(ActionLines().size(), 0u);

    ASSERT_TRUE(ServeTimer());
    const auto lines = ActionLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("logoff session=- user=alice"), std::string::npos) << lines[0];
    EXPECT_FALSE(manager.armed());
    EXPECT_EQ(root.ErrorLog(), "");
}

TEST_F(ShutdownManagerTest, FirstQuarterHoldsUntilMinuteFifteen) {
    const struct {
        int minute;
        int second;
        bool armed;
    } cases[] = {{0, 0, true}, {14, 59, true}, {15, 0, true}, {15, 59, true}, {16, 0, false}};
    db.SetCurrentUserName(u"alice");
    db.SetCurrentUser();
    for (const auto& moment : cases) {
        CShutdownManager fresh(db, *actions, kMinute);
        SetNowForTesting(At(10, moment.minute, moment.second));
        fresh.Tick();
        EXPECT_EQ(fresh.armed(), moment.armed) << "10:" << moment.minute << ":" << moment.second;
    }
}

TEST_F(ShutdownManagerTest, AllowedBeforeTheMinuteEndsCancelsSilently) {
    TickAt(At(10, 15, 50));
    ASSERT_TRUE(manager.armed());
    TickAt(At(10, 16, 0));
    EXPECT_FALSE(manager.armed());
    EXPECT_FALSE(ServeTimer());
    EXPECT_EQ(ActionLines().size(), 0u);
    EXPECT_EQ(WaitingMessages(db).size(), 1u);
    EXPECT_EQ(WarningRecords(db).size(), 1u);
}

TEST_F(ShutdownManagerTest, ChangedActionWarnsAgainAndTakesANewFullMinute) {
    TickAt(At(10, 0, 5));
    std::this_thread::sleep_for(kMinute * 2 / 3);
    ASSERT_EQ(SetShutDown(db, u"Kids", 0), EditStatus::Done);
    TickAt(At(10, 0, 10));
    EXPECT_EQ(WaitingMessages(db), (std::vector<std::u16string>{kLogoffText, kPowerOffText}));
    EXPECT_EQ(WarningRecords(db).size(), 2u);

    // The logoff's minute would have ended by now; the power-off's has not.
    EXPECT_FALSE(ServeTimer(kMinute / 2));
    ASSERT_TRUE(ServeTimer());
    const auto lines = ActionLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(" poweroff "), std::string::npos) << lines[0];
}

TEST_F(ShutdownManagerTest, DisableArmsNothingButLetsAnArmedActionRun) {
    ASSERT_EQ(SetDisable(db, u"Kids", true), EditStatus::Done);
    TickAt(At(10, 0, 5));
    EXPECT_FALSE(manager.armed());
    EXPECT_TRUE(WaitingMessages(db).empty());

    ASSERT_EQ(SetDisable(db, u"Kids", false), EditStatus::Done);
    TickAt(At(10, 0, 10));
    ASSERT_TRUE(manager.armed());
    ASSERT_EQ(SetDisable(db, u"Kids", true), EditStatus::Done);
    TickAt(At(10, 0, 15));
    ASSERT_TRUE(ServeTimer());
    EXPECT_EQ(ActionLines().size(), 1u);
}

TEST_F(ShutdownManagerTest, ReachedDailyLimitArmsAndTheTimetableNeverDisarmsIt) {
    ASSERT_EQ(SetLimitMinutes(db, u"Kids", Category::Power, 0x7F, 1), EditStatus::Done);
    ASSERT_EQ(SetLimitEnabled(db, u"Kids", Category::Power, true), EditStatus::Done);
    TickAt(At(11, 0, 0));  // the first minute is counted
    EXPECT_FALSE(manager.armed());
    TickAt(At(11, 1, 5));  // a minute later the limit is used up
    ASSERT_TRUE(manager.armed());
    TickAt(At(11, 1, 10));  // the timetable allows 11:01, yet the action stays
    EXPECT_TRUE(manager.armed());
    ASSERT_TRUE(ServeTimer());
    EXPECT_EQ(ActionLines().size(), 1u);
    EXPECT_EQ(WaitingMessages(db), std::vector<std::u16string>{kLogoffText});
}

TEST_F(ShutdownManagerTest, NobodyAtTheConsoleChecksOnlyTheTimetable) {
    ASSERT_EQ(SetLimitMinutes(db, u"Kids", Category::Power, 0x7F, 0), EditStatus::Done);
    ASSERT_EQ(SetLimitEnabled(db, u"Kids", Category::Power, true), EditStatus::Done);
    // Kids' rules stay in force when nobody is at the console.
    db.SetCurrentUserName(u"alice");
    db.SetCurrentUser();
    TickAt(At(11, 2, 0), u"");
    EXPECT_FALSE(manager.armed());  // a used-up limit needs a user
    TickAt(At(10, 5, 0), u"");
    EXPECT_TRUE(manager.armed());  // the timetable holds without one
}

TEST_F(ShutdownManagerTest, WarningIsMailedWhenTheOptionsAskForIt) {
    AiosmtpdServer server(root / "received", {});
    ASSERT_EQ(EditOptions(db,
                          [&](Options& options) {
                              SetFieldText(options.SMTPServer, u"127.0.0.1");
                              options.Port = server.port();
                              SetFieldText(options.SMTPFrom, u"zentimo@example.org");
                              SetFieldText(options.SMTPTo, u"admin@example.org");
                              options.SendNotificationEMail = 1;
                              return EditStatus::Done;
                          }),
              EditStatus::Done);
    TickAt(At(10, 0, 5));
    TickAt(At(10, 0, 10));
    ASSERT_EQ(server.MessageCount(), 1);
    EXPECT_NE(server.Message(1).find("Zentimo warning message"), std::string::npos);
    EXPECT_NE(server.Message(1).find("Description: You will be logged out in 1 min"),
              std::string::npos);
}

// logind on a private bus below the root: the actions reach it, and the line is recorded too.
TEST_F(ShutdownManagerTest, LogindEndsTheSessionActiveAtArmingAndPowersOffNonInteractively) {
    LogindMock logind(root.path());
    logind.AddSession("c1", 1001, "alice");
    TickAt(At(10, 0, 5));
    logind.AddSession("c2", 1002, "bob");  // bob takes the console within the minute
    ASSERT_TRUE(ServeTimer());

    ASSERT_EQ(SetShutDown(db, u"Kids", 0), EditStatus::Done);
    TickAt(At(10, 1, 10));
    ASSERT_TRUE(ServeTimer());

    std::vector<std::string> actions;
    for (const std::string& call : logind.Calls()) {
        if (call.starts_with("TerminateSession") || call.starts_with("PowerOff")) {
            actions.push_back(call);
        }
    }
    EXPECT_EQ(actions, (std::vector<std::string>{"TerminateSession c1", "PowerOff false"}));
    const auto lines = ActionLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("logoff session=c1 user=alice"), std::string::npos) << lines[0];
    EXPECT_EQ(root.ErrorLog(), "");
}

// A bus named from outside the root may be the machine's own: it is never acted on.
TEST_F(ShutdownManagerTest, LogindOnABusOutsideTheRootIsOnlyRecorded) {
    TempRoot elsewhere;  // a folder that cleans up after itself; the test's root stays in force
    ::setenv("ZEN_ROOT", root.path().c_str(), 1);
    SetEnvironment(WithConsoleSessions(Environment::ForRoot(root.path())));
    LogindMock logind(elsewhere.path());
    logind.AddSession("c1", 1001, "alice");
    TickAt(At(10, 0, 5));
    ASSERT_TRUE(ServeTimer());
    for (const std::string& call : logind.Calls()) {
        EXPECT_FALSE(call.starts_with("TerminateSession") || call.starts_with("PowerOff")) << call;
    }
    ASSERT_EQ(ActionLines().size(), 1u);
    EXPECT_NE(ActionLines()[0].find("logoff session=c1 user=alice"), std::string::npos);
}

// Actions whose logoff leaves programs of the user running.
class LogoffThatFails : public SystemActions {
public:
    bool PowerOff() override { return false; }
    bool LogOff(const SessionRef&) override { return false; }
    bool CloseProcesses(std::span<const int>) override { return false; }
    bool Unmount(const DriveMount&) override { return false; }
    bool Mount(const DriveMount&) override { return false; }
};

TEST_F(ShutdownManagerTest, ALogoffThatLeavesProgramsRunningIsReportedAsAFailure) {
    LogoffThatFails actions;
    CShutdownManager failing{db, actions, kMinute};
    SetNowForTesting(At(10, 0, 5));
    db.SetCurrentUserName(u"alice");
    db.SetCurrentUser();
    failing.Tick();
    pollfd timer{failing.TimerFd(), POLLIN, 0};
    ASSERT_EQ(::poll(&timer, 1, static_cast<int>(2 * kMinute.count())), 1);
    failing.OnTimer();

    EXPECT_NE(root.ErrorLog().find("logoff of session"), std::string::npos) << root.ErrorLog();
    const auto warnings = WarningRecords(db);
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_EQ(FieldText(warnings[1].text),
              u"Logoff of alice failed: some of its programs are still running");
    EXPECT_EQ(warnings[1].kind, 2u);
}

}  // namespace
}  // namespace zen::test
