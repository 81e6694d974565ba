// Install, start and removal under the test's root: never systemd there, so the service
// entry is the unit file and the service runs detached with a pid file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <thread>

#include "platform/root.h"
#include "platform/shared_file.h"
#include "service/service_host.h"
#include "service/service_manager.h"
#include "service/zensvc_process.h"
#include "support/temp_root.h"

namespace zen::test {
namespace {

namespace fs = std::filesystem;

// The detached service is nobody's child: adopting orphans lets the test reap it.
class ServiceInstallTest : public RootedTest {
protected:
    void SetUp() override { ::prctl(PR_SET_CHILD_SUBREAPER, 1); }
    void TearDown() override { ::prctl(PR_SET_CHILD_SUBREAPER, 0); }

    static int RunZensvc(const std::vector<std::string>& arguments) {
        ZensvcProcess process(arguments);
        return process.WaitExit(10s).value_or(-1);
    }

    static struct stat StatOf(const fs::path& path) {
        struct stat status {};
        ::stat(path.c_str(), &status);
        return status;
    }
};

TEST_F(ServiceInstallTest, InstallsStartsWithPidFileAndRemoves) {
    CreateDatabase();
    ASSERT_FALSE(SystemdRuns());

    // "install" and "remove" are recognised and do nothing.
    EXPECT_EQ(RunZensvc({"-install", "/REMOVE"}), 0);
    EXPECT_FALSE(fs::exists(paths::ServiceUnit()));

    EXPECT_EQ(RunZensvc({"-installAndRun"}), 0);
    const fs::path program = fs::canonical(ZENSVC_PATH);
    EXPECT_EQ(ReadAll(paths::ServiceUnit()), ServiceUnitText(program));
    EXPECT_EQ(StatOf(paths::ServiceUnit()).st_mode & 07777, 0644u);
    for (const char* line : {"Type=notify\n", "Restart=always\n", "RefuseManualStop=yes\n"}) {
        EXPECT_NE(ReadAll(paths::ServiceUnit()).find(line), std::string::npos) << line;
    }
    const pid_t first = DetachedServicePid();
    ASSERT_GT(first, 0);
    EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(first) + "/exe"), program);
    ASSERT_TRUE(WaitForListener(paths::TimeSocket(), 5s));
    EXPECT_EQ(AskTheClock().size(), 16u);

    // Installed and running: the entry is left alone and no second service starts.
    const struct stat unitBefore = StatOf(paths::ServiceUnit());
    EXPECT_EQ(RunZensvc({"-installAndRun"}), 0);
    EXPECT_EQ(StatOf(paths::ServiceUnit()).st_ino, unitBefore.st_ino);
    EXPECT_EQ(DetachedServicePid(), first);

    // Installed but stopped: it is only started.
    ::kill(first, SIGTERM);
    EXPECT_EQ(ReapExit(first), std::optional<int>(0));
    EXPECT_EQ(RunZensvc({"-installAndRun"}), 0);
    EXPECT_EQ(StatOf(paths::ServiceUnit()).st_ino, unitBefore.st_ino);
    const pid_t second = DetachedServicePid();
    ASSERT_GT(second, 0);
    EXPECT_NE(second, first);

    // Removal stops it with code 129 and deletes the entry.
    ASSERT_TRUE(WaitForListener(paths::ControlSocket(), 5s));
    EXPECT_EQ(RemoveService("ZenSvc"), 1);
    EXPECT_FALSE(fs::exists(paths::ServiceUnit()));
    EXPECT_FALSE(fs::exists(PidFile()));
    EXPECT_EQ(ReapExit(second), std::optional<int>(129));

    // Nothing to remove: success without a word.
    EXPECT_EQ(RemoveService("ZenSvc"), 1);
    EXPECT_EQ(root.ErrorLog(), "");
}

TEST(ServiceUnitTest, PackagedUnitIsTheOneTheInstallerWrites) {
    EXPECT_EQ(ReadAll(fs::path(PACKAGING_DIR) / "zensvc.service"),
              ServiceUnitText("/usr/local/bin/zensvc"));
    EXPECT_NE(ServiceUnitText("/opt/my programs/zensvc")
                  .find("ExecStart=\"/opt/my programs/zensvc\" /service\n"),
              std::string::npos);
}

}  // namespace
}  // namespace zen::test
