// The whole set-up and removal, run as the administrator runs them, under the test's root:
// the service runs detached with a pid file, and the filter library is a stand-in.
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "common/db/db_manager.h"
#include "common/db/object_names.h"
#include "common/db/options_file.h"
#include "common/db/rules_editor.h"
#include "common/settings/settings_document.h"
#include "common/settings/settings_transfer.h"
#include "platform/named_event.h"
#include "platform/root.h"
#include "platform/text.h"
#include "platform/unix_listener.h"
#include "service/control_socket.h"
#include "service/exit_codes.h"
#include "service/service_host.h"
#include "service/setup_autostart.h"
#include "service/setup_removal.h"
#include "service/trusted_library.h"
#include "service/zensvc_process.h"
#include "support/temp_root.h"

namespace zen::test {
namespace {

namespace fs = std::filesystem;

// A control panel as the removal sees one: it listens on its socket in the run directory
// until the panel stop event is set, and then quits.
class FakePanel {
public:
    FakePanel() {
        stop_.Open(kPanelStopEventName, ObjectAccess::RootSignals);
        socket_ = ListenUnix(paths::RunDir() / "zencp-4730-test", 4);
        thread_ = std::thread([this] {
            stopped_ = stop_.Wait(60s, &cancel_);
            socket_.reset();
            fs::remove(paths::RunDir() / "zencp-4730-test");
        });
    }
    ~FakePanel() {
        cancel_ = true;
        stop_.WakeWaiters();
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    FakePanel(const FakePanel&) = delete;
    FakePanel& operator=(const FakePanel&) = delete;

    // Whether the stop reached the panel (it has quit by then).
    bool Stopped() {
        if (thread_.joinable()) {
            thread_.join();
        }
        return stopped_;
    }

private:
    NamedEvent stop_;
    UniqueFd socket_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> stopped_{false};
    std::thread thread_;
};

class SetupAllTest : public RootedTest {
protected:
    void SetUp() override {
        if (library.unusable()) {
            GTEST_SKIP() << *library.unusable();
        }
        // The detached service is nobody's child: adopting orphans lets the test reap it.
        ::prctl(PR_SET_CHILD_SUBREAPER, 1);
        ::setenv("ZEN_FILTER_LIBRARY", library.path().c_str(), 1);
        ReloadEnvironment();
    }

    void TearDown() override {
        if (const pid_t service = DetachedServicePid(); service > 0 && ::kill(service, 0) == 0) {
            ::kill(service, SIGKILL);
            ReapExit(service);
        }
        ::unsetenv("ZEN_FILTER_LIBRARY");
        ReloadEnvironment();
        ::prctl(PR_SET_CHILD_SUBREAPER, 0);
    }

    static int Run(const char* verb) {
        ZensvcProcess process({verb});
        const int code = process.WaitExit(60s).value_or(-1);
        EXPECT_EQ(code, 0) << verb << ": " << process.Stderr();
        return code;
    }

    struct Outcome {
        int code = -1;
        std::string shown;
    };

    // zensvc with `arguments` on a terminal of its own, given `answers` as typed there.
    static Outcome RunOnTerminal(std::vector<std::string> arguments, const std::string& answers) {
        int terminal = -1;
        const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
        if (pid == 0) {
            std::vector<char*> argv{const_cast<char*>(ZENSVC_PATH)};
            for (std::string& argument : arguments) {
                argv.push_back(argument.data());
            }
            argv.push_back(nullptr);
            ::execv(ZENSVC_PATH, argv.data());
            ::_exit(127);
        }
        Outcome outcome;
        if (pid < 0 || ::write(terminal, answers.data(), answers.size()) !=
                           static_cast<ssize_t>(answers.size())) {
            return outcome;
        }
        char buffer[512];
        for (ssize_t got; (got = ::read(terminal, buffer, sizeof buffer)) > 0;) {
            outcome.shown.append(buffer, static_cast<std::size_t>(got));
        }
        ::close(terminal);
        outcome.code = ReapExit(pid, 60s).value_or(-1);
        return outcome;
    }

    // What a parent set up: a group with a daily limit, and the password.
    static void MakeRules() {
        CDBManager db;
        db.SetCurrentUserName(u"");
        ASSERT_EQ(db.Init(false), 1);
        ASSERT_EQ(AddGroup(db, u"Kids"), EditStatus::Done);
        ASSERT_EQ(SetLimitMinutes(db, u"Kids", Category::Power, 0x7F, 90), EditStatus::Done);
        ASSERT_EQ(SetAdminPassword(db, u"secret"), EditStatus::Done);
    }

    // Every rule, as the settings export writes it (the password included).
    static std::string Rules() {
        CDBManager db;
        db.SetCurrentUserName(u"");
        EXPECT_EQ(db.Init(false), 1);
        return WriteSettingsDocument(TakeSettingsSnapshot(db)) +
               "\npassword=" + Utf16ToUtf8(FieldText(db.OptionsCopy().password));
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

    // A panel runs: it must be told to quit.
    FakePanel panel;

    // No terminal: the export is answered no, and everything else goes.
    ASSERT_EQ(Run("-removeAll"), 0);
    EXPECT_EQ(ReapExit(service), std::optional<int>(129));
    EXPECT_EQ(DataFiles(), std::vector<fs::path>{});
    EXPECT_FALSE(fs::exists(Root() / "var/backups/zentimo"));
    EXPECT_FALSE(fs::exists(paths::AutostartEntry()));
    // Only the installation's marks go; the administrator's setting stays.
    EXPECT_EQ(ReadAll(paths::ConfFile()), "smtp_tls=encrypt\n");
    EXPECT_FALSE(fs::exists(paths::ServiceUnit()));
    EXPECT_FALSE(fs::exists(paths::PolkitRule()));
    EXPECT_EQ(ReadAll(paths::PreloadList()), otherLines);
    // The panel was stopped, and once it had quit the stop was cleared, so that the panels
    // of a new installation stay without a reboot.
    EXPECT_TRUE(panel.Stopped());
    NamedEvent panelStop;
    ASSERT_TRUE(panelStop.Open(kPanelStopEventName, ObjectAccess::RootSignals));
    EXPECT_FALSE(panelStop.IsSet());
}

TEST_F(SetupAllTest, ASecondSetUpKeepsTheRulesAndAResetNeedsAYesOnTheTerminal) {
    ASSERT_EQ(Run("-setupAll"), 0);
    MakeRules();
    const std::string rules = Rules();
    ASSERT_NE(rules.find("UserID=\"Kids\""), std::string::npos);
    ASSERT_NE(rules.find("password=secret"), std::string::npos);

    ASSERT_EQ(Run("-setupAll"), 0);
    EXPECT_EQ(Rules(), rules);

    // Without a terminal nobody said yes: nothing is reset.
    ZensvcProcess unasked({"-setupAll", "--reset"});
    EXPECT_EQ(unasked.WaitExit(60s), std::optional<int>(kExitFailed));
    EXPECT_NE(unasked.Stderr().find("nothing was reset"), std::string::npos) << unasked.Stderr();
    EXPECT_EQ(Rules(), rules);

    const Outcome declined = RunOnTerminal({"-setupAll", "--reset"}, "n\n");
    EXPECT_EQ(declined.code, kExitFailed) << declined.shown;
    EXPECT_EQ(Rules(), rules);

    const Outcome reset = RunOnTerminal({"-setupAll", "--reset"}, "y\n");
    EXPECT_EQ(reset.code, 0) << reset.shown;
    EXPECT_NE(reset.shown.find("Start afresh: delete every group, rule, log and the "
                               "administrator password? [y/N]"),
              std::string::npos)
        << reset.shown;
    EXPECT_EQ(Rules().find("UserID=\"Kids\""), std::string::npos);
    EXPECT_TRUE(Rules().ends_with("password="));
}

// A package's removal: everything stops, nothing is asked, and the rules wait for the next
// set-up.
TEST_F(SetupAllTest, ARemovalThatKeepsTheDataAsksNothingAndTheNextSetUpFindsTheRules) {
    ASSERT_EQ(Run("-setupAll"), 0);
    const pid_t service = DetachedServicePid();
    MakeRules();
    const std::string rules = Rules();

    const Outcome removal = RunOnTerminal({"-removeAll", "--keep-data"}, "");
    EXPECT_EQ(removal.code, 0) << removal.shown;
    EXPECT_EQ(removal.shown, "");
    EXPECT_EQ(ReapExit(service), std::optional<int>(129));
    EXPECT_FALSE(fs::exists(paths::PreloadList()));
    EXPECT_FALSE(fs::exists(paths::AutostartEntry()));
    EXPECT_FALSE(fs::exists(paths::ConfFile().parent_path()));

    ASSERT_EQ(Run("-setupAll"), 0);
    EXPECT_EQ(Rules(), rules);
}

TEST_F(SetupAllTest, EachFailedStepEndsWithItsOwnCodeAndLine) {
    // A library another account owns, or may write, is refused and left as it is.
    const fs::path foreign = root / "foreign/libzensp.so";
    fs::create_directories(foreign.parent_path());
    WriteAll(foreign, "");
    ::chown(foreign.c_str(), 4730, 4730);
    ::setenv("ZEN_FILTER_LIBRARY", foreign.c_str(), 1);
    {
        ZensvcProcess setup({"-setupAll"});
        EXPECT_EQ(setup.WaitExit(60s), std::optional<int>(kExitFilterNotInstalled));
        EXPECT_NE(setup.Stderr().find("is not owned by root"), std::string::npos);
        EXPECT_NE(setup.Stderr().find("the Internet filter was not installed"), std::string::npos)
            << setup.Stderr();
    }
    struct stat status {};
    ASSERT_EQ(::stat(foreign.c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, 4730u);
    EXPECT_FALSE(fs::exists(paths::PreloadList()));
    ::setenv("ZEN_FILTER_LIBRARY", library.path().c_str(), 1);
    ASSERT_EQ(Run("-removeAll"), 0);

    // No folder for the unit.
    fs::remove_all(paths::ServiceUnit().parent_path());
    WriteAll(paths::ServiceUnit().parent_path(), "not a folder");
    {
        ZensvcProcess setup({"-setupAll"});
        EXPECT_EQ(setup.WaitExit(60s), std::optional<int>(kExitUnitNotInstalled));
        EXPECT_NE(setup.Stderr().find("The service unit could not be written"), std::string::npos);
        EXPECT_NE(setup.Stderr().find("the service's unit was not installed"), std::string::npos)
            << setup.Stderr();
    }
    fs::remove(paths::ServiceUnit().parent_path());

    // The service starts, but its start cannot be confirmed (no pid file can be written).
    fs::create_directories(PidFile());
    {
        ZensvcProcess setup({"-setupAll"});
        EXPECT_EQ(setup.WaitExit(60s), std::optional<int>(kExitServiceNotStarted));
        EXPECT_NE(setup.Stderr().find("Couldn't start service"), std::string::npos);
        EXPECT_NE(setup.Stderr().find("the service was not started"), std::string::npos)
            << setup.Stderr();
    }
    // The service that started all the same is this test's (it adopts orphans).
    ASSERT_TRUE(WaitForListener(paths::ControlSocket(), 10s));
    ASSERT_TRUE(SendControlCode(kStopCode));
    EXPECT_TRUE(WaitForServiceStop(10s));
    while (::waitpid(-1, nullptr, WNOHANG) > 0) {
    }
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
    // A file of that name is replaced only after a yes.
    const fs::path file = root / "kept-settings.xml";
    WriteAll(file, "mine");
    const Outcome removal = RunOnTerminal({"-removeAll"}, "y\n" + file.string() + "\ny\n");
    EXPECT_EQ(removal.code, 0) << removal.shown;
    const std::string& shown = removal.shown;
    EXPECT_NE(shown.find(file.string() + " exists. Replace it? [y/N]"), std::string::npos) << shown;
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

    ASSERT_EQ(Run("-setupAll"), 0);
    const Outcome kept = RunOnTerminal({"-removeAll"}, "y\n" + file.string() + "\nn\n");
    EXPECT_EQ(kept.code, 0) << kept.shown;
    EXPECT_NE(kept.shown.find("Nothing was exported; " + file.string() + " is kept as it was."),
              std::string::npos)
        << kept.shown;
    EXPECT_EQ(ReadAll(file), exported);
}

}  // namespace
}  // namespace zen::test
