#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <cstdlib>

#include "common/db/rules_editor.h"
#include "common/mail/mail_account.h"
#include "mail/mail_test_support.h"
#include "page_test.h"
#include "panel/controls/zen_button_ctrl.h"
#include "panel/controls/zen_check_box.h"
#include "panel/email_account_dialog.h"
#include "panel/mail_test_sender.h"
#include "panel/pages/email_notifications_page.h"
#include "platform/text.h"
#include "support/temp_root.h"

namespace zen::panel::test {
namespace {

namespace fs = std::filesystem;

class EmailPagesTest : public PageTest {
protected:
    void Edit(const std::function<void(Options&)>& change) {
        ASSERT_EQ(EditOptions(db,
                              [&](Options& options) {
                                  change(options);
                                  return EditStatus::Done;
                              }),
                  EditStatus::Done);
    }
    void UseServer(uint32_t port) {
        Edit([port](Options& o) {
            SetFieldText(o.SMTPServer, u"127.0.0.1");
            o.Port = port;
            SetFieldText(o.SMTPFrom, u"zentimo@example.com");
            SetFieldText(o.SMTPTo, u"parent@example.com");
            SetFieldText(o.reportPassword, u"s3cret");
            o.SendDailyReport = 1;
            o.SendNotificationEMail = 1;
        });
    }
};

TEST(MailAccount, APortOfZeroIsNotSetUpWhateverElseIsGiven) {
    const struct {
        const char16_t* server;
        uint32_t port;
        const char16_t* from;
        const char16_t* to;
        bool setUp;
    } cases[] = {
        {u"smtp.example.com", 25, u"a@example.com", u"b@example.com", true},
        {u"smtp.example.com", 0, u"a@example.com", u"b@example.com", false},
        {u"", 25, u"a@example.com", u"b@example.com", false},
        {u"smtp.example.com", 25, u"", u"b@example.com", false},
        {u"smtp.example.com", 25, u"a@example.com", u"", false},
        {u"smtp.example.com", 25, u"a@example.com", u" , ;", false},
    };
    for (const auto& c : cases) {
        Options options{};
        SetFieldText(options.SMTPServer, c.server);
        options.Port = c.port;
        SetFieldText(options.SMTPFrom, c.from);
        SetFieldText(options.SMTPTo, c.to);
        EXPECT_EQ(MailAccountSetUp(options), c.setUp) << Utf16ToUtf8(c.server) << ":" << c.port;
    }
}

TEST_F(EmailPagesTest, UncheckingTheDailyReportDisablesItsPasswordAndTestAndSavesAtOnce) {
    UseServer(25);
    CDlgEmailNotifications page(db, nullptr);
    page.Refresh();
    EXPECT_TRUE(page.dailyReportBox()->isChecked());
    EXPECT_TRUE(page.passwordEdit()->isEnabled());
    EXPECT_TRUE(page.testReportButton()->isEnabled());
    EXPECT_EQ(page.passwordEdit()->text(), "s3cret");

    QTest::mouseClick(page.dailyReportBox(), Qt::LeftButton);
    EXPECT_FALSE(page.dailyReportBox()->isChecked());
    EXPECT_FALSE(page.passwordEdit()->isEnabled());
    EXPECT_FALSE(page.testReportButton()->isEnabled());
    EXPECT_EQ(StoredOptions().SendDailyReport, 0u);
    EXPECT_EQ(StoredOptions().SendNotificationEMail, 1u);

    QTest::mouseClick(page.notificationBox(), Qt::LeftButton);
    EXPECT_FALSE(page.testNotificationButton()->isEnabled());
    EXPECT_EQ(StoredOptions().SendNotificationEMail, 0u);
    // The test buttons look disabled while they are.
    for (CZenButtonCtrl* test : {page.testReportButton(), page.testNotificationButton()}) {
        EXPECT_TRUE(DrawnWith(test, Picture::MailButtonDisabled));
        EXPECT_FALSE(DrawnWith(test, Picture::MailButtonNormal));
    }

    QTest::mouseClick(page.dailyReportBox(), Qt::LeftButton);
    EXPECT_TRUE(DrawnWith(page.testReportButton(), Picture::MailButtonNormal));
    page.passwordEdit()->clear();
    QTest::keyClicks(page.passwordEdit(), "longer pass");
    EXPECT_EQ(FieldText(StoredOptions().reportPassword), u"longer pass");
    EXPECT_EQ(StoredOptions().SendDailyReport, 1u);
}

TEST_F(EmailPagesTest, TestsWithoutASetUpAccountOnlyShowTheBalloon) {
    UseServer(0);
    CDlgEmailNotifications page(db, nullptr);
    page.Refresh();
    QSignalSpy balloons(&page, &CDlgEmailNotifications::balloonShown);
    page.TestDailyReport();
    page.TestNotification();
    ASSERT_EQ(balloons.size(), 2);
    for (const auto& balloon : balloons) {
        EXPECT_EQ(balloon[0].toString(),
                  "You must set up e-mail account settings before Zentimo can send daily "
                  "reports or notification e-mails to you.");
        EXPECT_EQ(balloon[1].value<BalloonKind>(), BalloonKind::Warning);
    }
    EXPECT_FALSE(page.sender().busy());
}

TEST_F(EmailPagesTest, AccountDialogStoresOnOkAndDiscardsOnClose) {
    Edit([](Options& o) {
        SetFieldText(o.SMTPServer, u"old.example.com");
        o.Port = 25;
        SetFieldText(o.EMailName, u"old");
        o.EnableServerAuthentication = 0;
    });
    {
        CDlgEmailAccountSettings dialog(db, nullptr);
        EXPECT_EQ(dialog.serverEdit()->text(), "old.example.com");
        EXPECT_EQ(dialog.portEdit()->text(), "25");
        EXPECT_FALSE(dialog.userEdit()->isEnabled());
        EXPECT_FALSE(dialog.passwordEdit()->isEnabled());
        dialog.serverEdit()->setText("changed.example.com");
        dialog.reject();
    }
    EXPECT_EQ(FieldText(StoredOptions().SMTPServer), u"old.example.com");

    CDlgEmailAccountSettings dialog(db, nullptr);
    QTest::mouseClick(dialog.authenticationBox(), Qt::LeftButton);
    EXPECT_TRUE(dialog.userEdit()->isEnabled());
    EXPECT_TRUE(dialog.passwordEdit()->isEnabled());
    dialog.serverEdit()->setText("smtp.example.com");
    dialog.portEdit()->clear();
    QTest::keyClicks(dialog.portEdit(), "58x7");  // digits only
    EXPECT_EQ(dialog.portEdit()->text(), "587");
    QTest::keyClicks(dialog.senderEdit(), std::string(60, 's').c_str());
    EXPECT_EQ(dialog.senderEdit()->text().size(), 38);
    dialog.recipientsEdit()->setText("a@example.com, b@example.com");
    dialog.userEdit()->setText("parent");
    dialog.passwordEdit()->setText("mailpass");
    dialog.accept();
    const Options stored = StoredOptions();
    EXPECT_EQ(FieldText(stored.SMTPServer), u"smtp.example.com");
    EXPECT_EQ(stored.Port, 587u);
    EXPECT_EQ(FieldText(stored.SMTPFrom), std::u16string(38, u's'));
    EXPECT_EQ(FieldText(stored.SMTPTo), u"a@example.com, b@example.com");
    EXPECT_EQ(stored.EnableServerAuthentication, 1u);
    EXPECT_EQ(FieldText(stored.EMailName), u"parent");
    EXPECT_EQ(FieldText(stored.serverPassword), u"mailpass");
}

TEST_F(EmailPagesTest, TestDailyReportMailsAnArchiveOfTwoTestEntries) {
    zen::test::AiosmtpdServer server(root / "smtp", {});
    UseServer(server.port());
    CDlgEmailNotifications page(db, nullptr);
    page.Refresh();
    QSignalSpy balloons(&page, &CDlgEmailNotifications::balloonShown);
    page.TestDailyReport();
    ASSERT_TRUE(balloons.wait(30000));
    EXPECT_TRUE(balloons[0][0].toString().startsWith("250"))
        << balloons[0][0].toString().toStdString();
    EXPECT_EQ(balloons[0][1].value<BalloonKind>(), BalloonKind::Information);

    ASSERT_EQ(server.MessageCount(), 1);
    const std::string zip = zen::test::AttachedFile(server.Message(1), "dreport.zip");
    ASSERT_FALSE(zip.empty());
    zen::test::WriteAll(root / "attached.zip", zip);
    const fs::path out = root / "extracted";
    ASSERT_EQ(std::system(("7z x -y -ps3cret -o" + out.string() + " " +
                           (root / "attached.zip").string() + " >/dev/null 2>&1")
                              .c_str()),
              0);
    int files = 0;
    for (const auto& entry : fs::directory_iterator(out)) {
        ++files;
        EXPECT_TRUE(entry.path().filename() == "ZenWarnings.log" ||
                    entry.path().filename() == "ZenProgramsActivity.log")
            << entry.path();
        EXPECT_EQ(zen::test::ReadAll(entry.path()), std::string("T\0e\0s\0t\0", 8));
    }
    EXPECT_EQ(files, 2);
}

TEST_F(EmailPagesTest, ASilentServerLeavesThePanelAnswering) {
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    UseServer(silent.serverPort());
    CDlgEmailNotifications page(db, nullptr);
    page.Refresh();
    QSignalSpy balloons(&page, &CDlgEmailNotifications::balloonShown);
    page.TestNotification();
    EXPECT_TRUE(page.sender().busy());

    // The event loop keeps turning while the server says nothing.
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(20);
    Spin(1000);
    EXPECT_GE(ticks, 25);
    EXPECT_TRUE(balloons.isEmpty());
    EXPECT_TRUE(page.sender().busy());
    EXPECT_FALSE(page.sender().Start(MailTestSender::Kind::Notification));  // one at a time

    // The server hangs up: the answer comes as a warning balloon.
    ASSERT_TRUE(silent.hasPendingConnections() || silent.waitForNewConnection(5000));
    QTcpSocket* connection = silent.nextPendingConnection();
    ASSERT_NE(connection, nullptr);
    connection->abort();
    ASSERT_TRUE(balloons.wait(30000));
    EXPECT_EQ(balloons[0][1].value<BalloonKind>(), BalloonKind::Warning);
    EXPECT_FALSE(balloons[0][0].toString().startsWith("250"));
    EXPECT_FALSE(page.sender().busy());
}

}  // namespace
}  // namespace zen::panel::test
