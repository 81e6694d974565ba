// "zenctl status" against the real zensvc under faketime: what it says about the service and
// what the rules in force allow at an allowed and at a forbidden quarter hour.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/root.h"
#include "service/control_socket.h"
#include "service/service_host.h"
#include "service/zensvc_process.h"
#include "support/temp_root.h"
#include "zenctl/zenctl_fixture.h"

namespace zen {
namespace {

using namespace std::chrono_literals;
using test::Zenctl;
using test::ZenctlTest;

// Kids may use the computer on Wednesday 2024-05-08 except from 10:00 to 11:00, with a daily
// limit of 120 minutes; alice is at the console.
class StatusTest : public ZenctlTest {
protected:
    void SetUp() override {
        ZenctlTest::SetUp();
        Run({"timetable", "Kids", "computer", "on"});
        Run({"forbid", "Kids", "computer", "wed", "10:00-11:00"});
        Run({"limit", "Kids", "computer", "120"});
        Run({"limit", "Kids", "computer", "on"});
        test::WriteAll(paths::SeatFile(), "alice\n");
    }

    static std::vector<std::string> At(const std::string& moment) {
        return {"env", "TZ=UTC0", "faketime", moment};
    }
};

TEST_F(StatusTest, SaysWhetherTheServiceRunsAndWhatTheRulesAllowNow) {
    if (ZEN_SANITIZED) {
        GTEST_SKIP() << "libfaketime cannot be preloaded before the sanitizer runtime";
    }
    // A pid file counts only while it names a running zensvc, not a pid given to another.
    test::WriteAll(PidFile(), std::to_string(::getpid()) + "\n");
    const auto stopped = Zenctl({"status"}, At("2024-05-08 09:30:00"));
    ASSERT_EQ(stopped.code, 0) << stopped.err;
    EXPECT_EQ(stopped.out.rfind("service: not running (the rules are not enforced)\n"
                                "console user: alice\n"
                                "rules in force: the group Kids\n",
                                0),
              0u)
        << stopped.out;

    const struct {
        std::string moment;
        std::string computer;  // the start of the computer line
    } cases[] = {
        {"2024-05-08 09:30:00", "computer  allowed until Wed 2024-05-08 10:00; "},
        {"2024-05-08 10:20:00",
         "computer  forbidden until Wed 2024-05-08 11:00 (outside the timetable); "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.moment);
        test::ZensvcProcess service({"-debug"}, At(c.moment));
        ASSERT_TRUE(service.WaitForLines("zensvc: tick:", 1, 15s)) << service.Stderr();

        const auto text = Zenctl({"status"}, At(c.moment));
        ASSERT_EQ(text.code, 0) << text.err;
        EXPECT_NE(text.out.find("service: running, pid "), std::string::npos) << text.out;
        EXPECT_NE(text.out.find(", started by hand\n"), std::string::npos) << text.out;
        EXPECT_NE(text.out.find("\nrules in force: the group Kids\n" + c.computer),
                  std::string::npos)
            << text.out;
        EXPECT_NE(text.out.find("\ninternet  allowed all week; 0 minutes used today\n"),
                  std::string::npos)
            << text.out;

        // The pid is the service's own, as the kernel tells it.
        const auto json = Zenctl({"status", "--json"}, At(c.moment));
        const std::size_t pidAt = json.out.find("\"pid\": ");
        ASSERT_NE(pidAt, std::string::npos) << json.out;
        const std::string pid = json.out.substr(pidAt + 7, json.out.find(',', pidAt) - pidAt - 7);
        EXPECT_EQ(std::filesystem::read_symlink("/proc/" + pid + "/exe"),
                  std::filesystem::canonical(ZENSVC_PATH));
        EXPECT_NE(json.out.find("\"runBy\": \"hand\""), std::string::npos);
        EXPECT_NE(json.out.find("\"consoleUser\": \"alice\""), std::string::npos);
        EXPECT_NE(json.out.find("\"limit\": 120"), std::string::npos) << json.out;
        // Started without systemd, the service is found through its pid file.
        test::WriteAll(PidFile(), pid + "\n");
        EXPECT_NE(Zenctl({"status"}).out.find("pid " + pid + ", since "), std::string::npos);
        EXPECT_NE(Zenctl({"status"}).out.find(", with the pid file " + PidFile().string() + "\n"),
                  std::string::npos);
        std::filesystem::remove(PidFile());

        // faketime runs the service as its child: it is stopped as root stops it.
        EXPECT_TRUE(SendControlCode(kStopCode));
        EXPECT_EQ(service.WaitExit(5s), std::optional<int>(129));
    }
}

}  // namespace
}  // namespace zen
