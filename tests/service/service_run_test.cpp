// The real zensvc in debug mode under the test's root: the tick, the clock, the control
// socket. Each start costs the 5 s before the first tick, so one run checks them together.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <endian.h>

#include <filesystem>
#include <thread>

#include "platform/clock.h"
#include "platform/local_time.h"
#include "platform/root.h"
#include "platform/unix_listener.h"
#include "service/control_socket.h"
#include "service/zensvc_process.h"
#include "support/child_process.h"
#include "support/temp_root.h"
#include "zenctl/zenctl_runner.h"

namespace zen::test {
namespace {

// Child exit codes of a sender of code 129 that is not root.
constexpr int kHungUpUnread = 0;
constexpr int kAnswered = 1;
constexpr int kNoConnection = 2;

ZEN_CHILD(send_stop_as_nobody) {
    constexpr uid_t nobody = 65534;
    if (::setresgid(nobody, nobody, nobody) != 0 || ::setresuid(nobody, nobody, nobody) != 0) {
        return kNoConnection;
    }
    const UniqueFd service = ConnectUnix(paths::ControlSocket());
    if (!service) {
        return kNoConnection;
    }
    const uint32_t code = htole32(kStopCode);
    (void)::send(service.get(), &code, sizeof code, MSG_NOSIGNAL);
    uint32_t answer = 0;
    return ::recv(service.get(), &answer, sizeof answer, MSG_WAITALL) > 0 ? kAnswered
                                                                          : kHungUpUnread;
}

class ServiceRunTest : public RootedTest {};

TEST_F(ServiceRunTest, TicksAfterFiveSecondsServesTheClockAndStopsOnlyForRoot) {
    CreateDatabase();
    WriteAll(root / "run/zentimo/seat", "alice\n");
    // Another account must be able to reach the control socket to be refused by it.
    ::chmod(root.path().c_str(), 0755);

    const auto started = std::chrono::steady_clock::now();
    ZensvcProcess service({"debug", "/DeBuG"});  // without a prefix a word is ignored
    ASSERT_TRUE(WaitForListener(paths::TimeSocket(), 5s)) << service.Stderr();

    // The clock: two clients in a row, the second writing first; each gets 16 bytes.
    const std::string first = AskTheClock();
    const std::string second = AskTheClock("what time is it?\n");
    ASSERT_EQ(first.size(), 16u);
    ASSERT_EQ(second.size(), 16u);
    EXPECT_LE(ClockMoment(first), ClockMoment(second));
    EXPECT_EQ(ClockMoment(first)[0], BreakDownUtc(Now()).year);

    // No tick at once: the first one comes 5 s after the start.
    EXPECT_EQ(CountLines(service.Stderr(), "zensvc: tick:"), 0);
    ASSERT_TRUE(service.WaitForLines("zensvc: tick:", 1, 10s)) << service.Stderr();
    const auto firstTick = std::chrono::steady_clock::now() - started;
    EXPECT_GE(firstTick, 4500ms);
    EXPECT_LE(firstTick, 7500ms);

    // The unknown console user joined "Guests" and its rules are in force.
    EXPECT_NE(service.Stderr().find("console user \"alice\", rules of \"Guests\""),
              std::string::npos)
        << service.Stderr();
    EXPECT_EQ(StoredGroupOf(u"alice"), u"Guests");

    // Another account's code 129 is hung up on unread and changes nothing.
    EXPECT_EQ(RunChild("send_stop_as_nobody"), kHungUpUnread);
    EXPECT_FALSE(service.WaitExit(300ms));
    EXPECT_EQ(AskTheClock().size(), 16u);

    // A second instance does not take the running one's sockets.
    EXPECT_FALSE(ListenUnix(paths::TimeSocket(), 1));
    EXPECT_FALSE(ListenUnix(paths::ControlSocket(), 1));
    EXPECT_EQ(AskTheClock().size(), 16u);

    // Root's code 129 stops the loop; the clock is gone with it.
    EXPECT_TRUE(SendControlCode(kStopCode));
    EXPECT_EQ(service.WaitExit(5s), std::optional<int>(129)) << service.Stderr();
    EXPECT_FALSE(ConnectUnix(paths::TimeSocket()));
    EXPECT_EQ(root.ErrorLog(), "");
}

// A database that cannot be opened is tried again at every tick, and said once, not every 5 s.
TEST_F(ServiceRunTest, RetriesAMissingDatabaseAtEveryTickAndSaysSoOnce) {
    CreateDatabase();
    WriteAll(root / "run/zentimo/seat", "alice\n");
    // Never run before, the service has no copy to put the users table back from.
    std::filesystem::remove(paths::DataDir() / "ZenUsr.dat");
    ZensvcProcess service({"-debug"});
    std::this_thread::sleep_for(10500ms);  // two ticks
    EXPECT_EQ(CountLines(service.Stderr(), "Error opening database"), 1) << service.Stderr();
    EXPECT_EQ(CountLines(service.Stderr(), "zensvc: tick:"), 0);

    const ZenctlResult made = Zenctl({"init"});
    ASSERT_EQ(made.code, 0) << made.err;
    EXPECT_TRUE(service.WaitForLines("console user \"alice\", rules of \"Guests\"", 1, 7s))
        << service.Stderr();
    EXPECT_EQ(CountLines(root.ErrorLog(), "Error opening database"), 1);
    EXPECT_EQ(CountLines(root.ErrorLog(), "Unable to open the ZenUsr"), 1) << root.ErrorLog();
}

}  // namespace
}  // namespace zen::test
