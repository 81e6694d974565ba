#include <QProcess>
#include <QSignalSpy>

#include "common/db/messages.h"
#include "panel/main_window.h"
#include "panel/panel_app.h"
#include "panel/password_dialog.h"
#include "panel/single_instance.h"
#include "panel/tray.h"
#include "panel_fixture.h"
#include "support/child_process.h"
#include "support/eventually.h"

#include <QLineEdit>

namespace zen::panel::test {
namespace {

// Another process of the system (the service, the filter) leaves a message for the group at
// the console.
ZEN_CHILD(leave_message) {
    CDBManager db;
    if (db.Init(false) == 0) {
        return 1;
    }
    return AddMessage(db, u"Internet access is not allowed now") == 1 ? 0 : 2;
}

using AppTest = PanelTest;

TEST_F(AppTest, RemoveAllEndsWithFiveOnRefusalAndZeroOnTheRightPasswordWithoutAWindow) {
    {
        CZenCPApp app({"zencp", "-removeAll"});
        EXPECT_EQ(app.Start(), 0);  // no password: no prompt (it would block here)
        EXPECT_EQ(app.mainWindow(), nullptr);
    }
    SetPassword(u"pw");
    const struct {
        const char* entry;
        int code;
    } cases[] = {{"PW", CZenCPApp::kExitRefused}, {"pw", 0}, {nullptr, CZenCPApp::kExitRefused}};
    for (const auto& c : cases) {
        CZenCPApp app({"zencp", "-REMOVEALL"});
        if (c.entry == nullptr) {
            WhenModal<CDlgPassword>([](CDlgPassword* prompt) { prompt->reject(); });
        } else {
            const QString entry = c.entry;
            WhenModal<CDlgPassword>([entry](CDlgPassword* prompt) {
                prompt->edit()->setText(entry);
                prompt->accept();
            });
            if (c.code != 0) {
                CloseNextMessage(nullptr);  // "The password is incorrect"
            }
        }
        EXPECT_EQ(app.Start(), c.code) << (c.entry ? c.entry : "cancel");
        EXPECT_EQ(app.mainWindow(), nullptr);
    }
}

TEST_F(AppTest, ASecondStartInTheSessionLeavesTheHintOnTheFirstAndEnds) {
    CZenCPApp first({"zencp"});
    ASSERT_FALSE(first.Start().has_value());
    ASSERT_NE(first.mainWindow(), nullptr);
    QSignalSpy balloons(&first.mainWindow()->tray(), &PanelTray::balloonShown);

    QProcess second;
    second.start(ZENCP_PATH, {"-h"});
    ASSERT_TRUE(second.waitForStarted());
    EXPECT_TRUE(balloons.wait(10000));  // the loop runs, so the first panel answers at once
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 0);
    ASSERT_EQ(balloons.count(), 1);
    EXPECT_TRUE(balloons[0][1].toString().startsWith("The Control  Panel can be opened anytime"));
    EXPECT_FALSE(first.mainWindow()->isVisible());
}

TEST_F(AppTest, HelpPrintsTheUsageAndAnUnknownWordEndsWithTwo) {
    const struct {
        QStringList words;
        int code;
        bool usageOut;
    } cases[] = {{{"--help"}, 0, true}, {{"-opne"}, 2, false}, {{"-h", "tray"}, 2, false}};
    for (const auto& c : cases) {
        QProcess zencp;
        zencp.start(ZENCP_PATH, c.words);
        ASSERT_TRUE(zencp.waitForFinished(20000)) << c.words.join(' ').toStdString();
        const QString out = zencp.readAllStandardOutput();
        const QString err = zencp.readAllStandardError();
        EXPECT_EQ(zencp.exitCode(), c.code) << err.toStdString();
        EXPECT_EQ(out.startsWith("Usage: zencp"), c.usageOut) << out.toStdString();
        if (c.code == 2) {
            EXPECT_TRUE(err.contains("zencp: unknown word \"" + c.words.back() + "\"\nUsage:"))
                << err.toStdString();
        }
    }
}

TEST_F(AppTest, AMessageLeftByAnotherProcessAppearsAsABalloon) {
    CZenCPApp panel({"zencp"});
    ASSERT_FALSE(panel.Start().has_value());
    QSignalSpy balloons(&panel.mainWindow()->tray(), &PanelTray::balloonShown);
    ASSERT_EQ(zen::test::RunChild("leave_message"), 0);
    EXPECT_TRUE(balloons.wait(5000));
    ASSERT_EQ(balloons.count(), 1);
    EXPECT_EQ(balloons[0][0].toString(), "Zentimo");
    EXPECT_EQ(balloons[0][1].toString(), "Internet access is not allowed now");
    EXPECT_EQ(balloons[0][2].value<BalloonKind>(), BalloonKind::Information);
}

TEST_F(AppTest, WithoutOptionsTheDatabaseErrorIsShownAndTheProgramEnds) {
    std::filesystem::remove_all(root / "var/lib/zentimo");
    std::filesystem::create_directories(root / "var/lib/zentimo");
    CZenCPApp panel({"zencp"});
    QString message;
    CloseNextMessage(&message);
    EXPECT_EQ(panel.Start(), CZenCPApp::kExitFailed);
    EXPECT_EQ(message, "Error opening database\nCode: 0x7A00FC03");
}

}  // namespace
}  // namespace zen::panel::test

namespace zen::panel::test {
namespace {

TEST_F(AppTest, WithoutATrayMessagesBecomeDesktopNotifications) {
    QProcess bus;
    bus.start("/usr/bin/python3", {PANEL_TEST_DIR "/notifications_mock.py",
                                   QString::fromStdString(root.path().string())});
    ASSERT_TRUE(bus.waitForReadyRead(20000)) << bus.readAllStandardError().toStdString();
    const QString line = QString::fromUtf8(bus.readLine()).trimmed();
    ASSERT_TRUE(line.startsWith("ADDRESS ")) << line.toStdString();

    // The offscreen platform has no tray, as a desktop without one.
    QProcess panel;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DBUS_SESSION_BUS_ADDRESS", line.mid(8));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    panel.setProcessEnvironment(environment);
    panel.start(ZENCP_PATH, {});
    ASSERT_TRUE(panel.waitForStarted());
    bool answered = false;
    ASSERT_TRUE(zen::test::Eventually(
        [&] { return SingleInstance::SendToRunning("ping", &answered) && answered; }));

    ASSERT_EQ(zen::test::RunChild("leave_message"), 0);
    const auto log = root / "notifications.log";
    EXPECT_TRUE(zen::test::Eventually([&] {
        return zen::test::ReadAll(log).find("Internet access is not allowed now") !=
               std::string::npos;
    })) << zen::test::ReadAll(log);
    EXPECT_NE(zen::test::ReadAll(log).find("Notify"), std::string::npos);

    panel.terminate();
    panel.waitForFinished();
    bus.closeWriteChannel();
    bus.waitForFinished();
}

}  // namespace
}  // namespace zen::panel::test

namespace zen::panel::test {
namespace {

TEST_F(AppTest, WithoutATrayASecondStartWithOpenOpensTheRunningPanel) {
    CZenCPApp first({"zencp"});
    ASSERT_FALSE(first.Start().has_value());
    QProcess second;
    second.start(ZENCP_PATH, {"-open"});
    ASSERT_TRUE(second.waitForStarted());
    // The second start waits for the first panel's answer, so the loop must run meanwhile.
    // A loaded machine (or the sanitizer build) may take seconds to start the second panel.
    for (int i = 0; i < 3000 && !first.mainWindow()->isVisible(); ++i) {
        Spin(10);
    }
    EXPECT_TRUE(first.mainWindow()->isVisible());  // no password: no prompt
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 0);
}

TEST_F(AppTest, TestModeSaysInvalidFunctionCallAndEnds) {
    CZenCPApp panel({"zencp", "-TEST"});
    QString message;
    CloseNextMessage(&message);
    EXPECT_EQ(panel.Start(), 0);
    EXPECT_EQ(message, "Invalid Function Call");
}

}  // namespace
}  // namespace zen::panel::test
