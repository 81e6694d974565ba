// Sessions through logind: python3-dbusmock's logind template on a private system bus.
#include <gtest/gtest.h>
#include <signal.h>

#include <thread>

#include "platform/console_user.h"
#include "platform/root.h"
#include "service/logind_mock.h"
#include "service/zensvc_process.h"
#include "support/temp_root.h"

namespace zen::test {
namespace {

class SessionTest : public RootedTest {};

TEST_F(SessionTest, ConsoleUserIsTheActiveSessionsUserOfSeat0) {
    LogindMock logind(root.path());
    EXPECT_EQ(ConsoleUserName(), "");  // no active session yet
    logind.AddSession("c1", 1001, "carol");
    logind.AddSession("c2", 1002, "dave");
    EXPECT_EQ(ConsoleUserName(), "dave");
    logind.Activate("c1");
    EXPECT_EQ(ConsoleUserName(), "carol");
    EXPECT_EQ(SessionUserName("c2"), "dave");
    EXPECT_EQ(SessionUserName("c9"), "");
    // The login screen and system accounts are nobody.
    logind.AddGreeterSession("g1", 1003, "lightdm");
    EXPECT_EQ(ConsoleUserName(), "");
    logind.AddSession("s1", 120, "sddm");
    EXPECT_EQ(ConsoleUserName(), "");
    EXPECT_EQ(SessionUserName("g1"), "");
    EXPECT_EQ(SessionUserName("s1"), "");
    logind.Activate("c1");
    EXPECT_EQ(ConsoleUserName(), "carol");
    // A seat file stands in for the seat when there is one.
    WriteAll(root / "run/zentimo/seat", "erin\n");
    EXPECT_EQ(ConsoleUserName(), "erin");
}

TEST_F(SessionTest, ServiceFollowsTheActiveSessionAndAddsAFirstLogonAtOnce) {
    CreateDatabase();
    LogindMock logind(root.path());
    logind.AddSession("c1", 1001, "carol");

    ZensvcProcess service({"-debug"});
    ASSERT_TRUE(service.WaitForLines("zensvc: tick:", 1, 10s)) << service.Stderr();
    const auto firstTick = std::chrono::steady_clock::now();
    EXPECT_NE(service.Stderr().find("console user \"carol\""), std::string::npos);

    // dave logs on for the first time: he is added at once, not only at the next tick.
    logind.AddSession("c2", 1002, "dave");
    while (StoredGroupOf(u"dave").empty() && std::chrono::steady_clock::now() - firstTick < 4s) {
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(StoredGroupOf(u"dave"), u"Guests");
    EXPECT_EQ(CountLines(service.Stderr(), "zensvc: tick:"), 1);

    // The console user follows the active session from tick to tick.
    ASSERT_TRUE(service.WaitForLines("zensvc: tick:", 2, 10s));
    EXPECT_NE(service.Stderr().find("console user \"dave\", rules of \"Guests\""),
              std::string::npos);
    logind.Activate("c1");
    ASSERT_TRUE(service.WaitForLines("console user \"carol\"", 2, 10s)) << service.Stderr();

    // System shutdown (SIGTERM) stops the service cleanly.
    ::kill(service.pid(), SIGTERM);
    EXPECT_EQ(service.WaitExit(5s), std::optional<int>(0));
    EXPECT_EQ(root.ErrorLog(), "");
}

}  // namespace
}  // namespace zen::test
