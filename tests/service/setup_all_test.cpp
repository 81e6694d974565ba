// The whole set-up and removal, run as the administrator runs them, under the test's root:
// the service runs detached with a pid file, and the filter library is a stand-in.
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdlib>

#include "common/db/db_manager.h"
#include "common/db/object_names.h"
#include "common/db/options_file.h"
#include "common/db/rules_editor.h"
#include "platform/named_event.h"
#include "platform/root.h"
#include "service/setup_autostart.h"
#include "service/trusted_library.h"
#include "service/zensvc_process.h"
#include "support/temp_root.h"

namespace zen::test {
namespace {

namespace fs = std::filesystem;

class SetupAllTest : public RootedTest {
protected:
    void SetUp() override {
        if (library.unusable()) {
            GTEST_SKIP() << *library.unusable();
        }
        // The detached service is nobody's child: adopting orphans lets the test reap it.
        ::prctl(PR_SET_CHILD_SUBREAPER, 1);
        ::setenv("ZEN_FILTER_LIBRARY", library.path().c_str(), 1);
    }

    void TearDown() override {
        if (const pid_t service = DetachedServicePid(); service > 0 && ::kill(service, 0) == 0) {
            ::kill(service, SIGKILL);
            ReapExit(service);
        }
        ::unsetenv("ZEN_FILTER_LIBRARY");
        ::prctl(PR_SET_CHILD_SUBREAPER, 0);
    }

    static int Run(const char* verb) {
        ZensvcProcess process({verb});
        const int code = process.WaitExit(60s).value_or(-1);
        EXPECT_EQ(code, 0) << verb << ": " << process.Stderr();
        return code;
    }

    static std::vector<fs::path> DataFiles() {
        std::vector<fs::path> files;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(paths::DataDir(), error)) {
            files.push_back(entry.path().filename());
        }
        return files;
    }

    TrustedLibrary library;
};

TEST_F(SetupAllTest, SetsUpTheWholeSystemAndRemovesItAgain) {
    const std::string otherLines = "/opt/other/libother.so\n# kept by everyone\n";
    fs::create_directories(paths::PreloadList().parent_path());
    WriteAll(paths::PreloadList(), otherLines);
    // A machine setting made before the set-up survives it.
    fs::create_directories(paths::ConfFile().parent_path());
    WriteAll(paths::ConfFile(), "smtp_tls=encrypt\n");
    const std::string ourLine = library.path().string() + "\n";

    ASSERT_EQ(Run("-setupAll"), 0);
    for (const char* file :
         {"ZenUsr.dat", "ZenCtb.dat", "ZenMsg.dat", "Zenwgs.dat", "Zenavt.dat"}) {
        EXPECT_TRUE(fs::exists(paths::DataDir() / file)) << file;
    }
    EXPECT_TRUE(fs::exists(OptionsFilePath()));
    const std::string entry = ReadAll(paths::AutostartEntry());
    for (const std::string& line :
         {std::string("[Desktop Entry]\n"), std::string("Type=Application\n"),
          "Exec=" + (paths::ProgramFolder() / "bin/zencp").string() + "\n"}) {
        EXPECT_NE(entry.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(ReadAll(paths::ConfFile()), "smtp_tls=encrypt\nzeninst=1\nzenver=2.01\n");
    EXPECT_EQ(ReadAll(paths::PreloadList()), otherLines + ourLine);
    EXPECT_TRUE(fs::exists(paths::ServiceUnit()));
    EXPECT_EQ(ReadAll(paths::PolkitRule()),
              ReadAll(fs::path(PACKAGING_DIR) / "50-zentimo-udisks.rules"));
    const pid_t service = DetachedServicePid();
    ASSERT_GT(service, 0);
    EXPECT_EQ(::kill(service, 0), 0);
    ASSERT_TRUE(WaitForListener(paths::TimeSocket(), 5s));

    // Again: still one line, and the running service is left alone.
    ASSERT_EQ(Run("-setupAll"), 0);
    EXPECT_EQ(ReadAll(paths::PreloadList()), otherLines + ourLine);
    EXPECT_EQ(DetachedServicePid(), service);

    // The service's last good copies would bring the data back.
    fs::create_directories(Root() / "var/backups/zentimo");
    WriteAll(Root() / "var/backups/zentimo/ZenUsr.dat", "copy");

    // No terminal: the export is answered no, and everything else goes.
    ASSERT_EQ(Run("-removeAll"), 0);
    EXPECT_EQ(ReapExit(service), std::optional<int>(129));
    EXPECT_EQ(DataFiles(), std::vector<fs::path>{});
    EXPECT_FALSE(fs::exists(Root() / "var/backups/zentimo"));
    EXPECT_FALSE(fs::exists(paths::AutostartEntry()));
    EXPECT_FALSE(fs::exists(paths::ConfFile()));
    EXPECT_FALSE(fs::exists(paths::ServiceUnit()));
    EXPECT_FALSE(fs::exists(paths::PolkitRule()));
    EXPECT_EQ(ReadAll(paths::PreloadList()), otherLines);
    NamedEvent panelStop;
    ASSERT_TRUE(panelStop.Open(kPanelStopEventName, ObjectAccess::RootSignals));
    EXPECT_TRUE(panelStop.IsSet());
}

TEST_F(SetupAllTest, RemovalOnATerminalExportsTheSettingsFirst) {
    ASSERT_EQ(Run("-setupAll"), 0);
    const pid_t service = DetachedServicePid();
    {
        CDBManager db;
        db.SetCurrentUserName(u"");
        ASSERT_EQ(db.Init(false), 1);
        ASSERT_EQ(AddGroup(db, u"Kids"), EditStatus::Done);
    }
    const fs::path file = root / "kept-settings.xml";

    int terminal = -1;
    const pid_t removal = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(removal, 0);
    if (removal == 0) {
        ::execl(ZENSVC_PATH, ZENSVC_PATH, "-removeAll", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const std::string answers = "y\n" + file.string() + "\n";
    ASSERT_EQ(::write(terminal, answers.data(), answers.size()),
              static_cast<ssize_t>(answers.size()));
    std::string shown;
    char buffer[512];
    for (ssize_t got; (got = ::read(terminal, buffer, sizeof buffer)) > 0;) {
        shown.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(terminal);
    EXPECT_EQ(ReapExit(removal, 60s), std::optional<int>(0)) << shown;

    EXPECT_NE(shown.find("Zentimo: Would you like to export your settings in order to save your "
                         "changes (for upgrading and repairing Zentimo)? [y/N]"),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("zentimo-settings.xml]: "), std::string::npos) << shown;
    const std::string exported = ReadAll(file);
    EXPECT_TRUE(exported.starts_with("<doc ver=\"2\">")) << exported.substr(0, 80);
    EXPECT_NE(exported.find("UserID=\"Kids\""), std::string::npos);
    EXPECT_EQ(ReapExit(service), std::optional<int>(129));
    EXPECT_EQ(DataFiles(), std::vector<fs::path>{});
}

}  // namespace
}  // namespace zen::test
