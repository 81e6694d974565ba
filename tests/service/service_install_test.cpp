// Install, start and removal under the test's root: never systemd there, so the service
// entry is the unit file and the service runs detached with a pid file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "platform/root.h"
#include "platform/shared_file.h"
#include "service/service_host.h"
#include "service/service_manager.h"
#include "service/zensvc_process.h"
#include "support/command_run.h"
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
    // The unit runs the installed program, whichever program wrote it.
    EXPECT_EQ(ReadAll(paths::ServiceUnit()), ServiceUnitText());
    EXPECT_NE(ReadAll(paths::ServiceUnit()).find("\nExecStart=" ZEN_BINDIR "/zensvc -service\n"),
              std::string::npos);
    EXPECT_EQ(StatOf(paths::ServiceUnit()).st_mode & 07777, 0644u);
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

    // Installed but stopped, with a unit an older set-up wrote: the unit is written again and
    // the service started.
    ::kill(first, SIGTERM);
    EXPECT_EQ(ReapExit(first), std::optional<int>(0));
    WriteAll(paths::ServiceUnit(), "[Service]\nExecStart=/home/me/build/zensvc /service\n");
    EXPECT_EQ(RunZensvc({"-installAndRun"}), 0);
    EXPECT_EQ(ReadAll(paths::ServiceUnit()), ServiceUnitText());
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

TEST_F(ServiceInstallTest, AShippedUnitIsUsedAndLeftToItsPackage) {
    CreateDatabase();
    const fs::path shipped = root / fs::path(ZEN_UNIT_DIR).relative_path() / "zensvc.service";
    fs::create_directories(shipped.parent_path());
    WriteAll(shipped, std::string(ServiceUnitText()));
    EXPECT_EQ(RunZensvc({"-installAndRun"}), 0);
    EXPECT_FALSE(fs::exists(paths::ServiceUnit()));
    const pid_t service = DetachedServicePid();
    ASSERT_GT(service, 0);
    ASSERT_TRUE(WaitForListener(paths::ControlSocket(), 5s));
    EXPECT_EQ(RemoveService("ZenSvc"), 1);
    EXPECT_EQ(ReapExit(service), std::optional<int>(129));
    EXPECT_TRUE(fs::exists(shipped));
}

// The unit as built, sections and all: systemd ignores a key in the wrong section with no more
// than a warning ("Unknown key"), so a stop by hand would pass.
TEST(ServiceUnitTest, TheShippedUnitHoldsUnderSystemd) {
    const std::string unit(ServiceUnitText());
    EXPECT_EQ(ReadAll(ZEN_SERVICE_UNIT), unit);
    std::map<std::string, std::set<std::string>> sections;
    std::istringstream lines(unit);
    std::string section;
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("[")) {
            section = line;
        } else if (!line.empty() && !line.starts_with("#")) {
            sections[section].insert(line);
        }
    }
    for (const char* line : {"RefuseManualStop=yes", "StartLimitIntervalSec=0"}) {
        EXPECT_TRUE(sections["[Unit]"].contains(line)) << line;
    }
    for (const char* line : {"Type=notify", "Restart=always", "RestartSec=1s",
                             "RestartPreventExitStatus=129", "NoNewPrivileges=yes"}) {
        EXPECT_TRUE(sections["[Service]"].contains(line)) << line;
    }

    // systemd's own reading finds nothing to say, once ExecStart names a program that exists.
    const TempRoot folder;
    const fs::path copy = folder.path() / "zensvc.service";
    std::string runnable = unit;
    const std::string installed = ZEN_BINDIR "/zensvc";
    runnable.replace(runnable.find(installed), installed.size(),
                     fs::canonical(ZENSVC_PATH).string());
    WriteAll(copy, runnable);
    const CommandResult verify =
        RunCommand({"systemd-analyze", "verify", "--man=no", copy.string()});
    if (verify.code == 127) {
        GTEST_SKIP() << "systemd-analyze is not installed";
    }
    EXPECT_EQ(verify.code, 0) << verify.err;
    EXPECT_EQ(verify.err, "");
}

}  // namespace
}  // namespace zen::test
