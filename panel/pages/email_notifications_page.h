#pragma once

#include "common/db/records.h"
#include "panel/mail_test_sender.h"
#include "panel/pages/page_frame.h"
#include "panel/tray.h"

class QLineEdit;

namespace zen {
class CDBManager;
}

namespace zen::panel {

class CZenButtonCtrl;
class CZenCheckBox;
class PageCatalog;

// "Email Notifications" in the Settings section: the daily report and the notification mails
// switched on and off, the report archive's password (each change saved at once), the two
// test sends and the way to the account settings. A test without a set-up account only shows
// the "set up your account" balloon; a test send runs on a worker thread and its answer comes
// as a balloon.
class CDlgEmailNotifications : public PageFrame {
    Q_OBJECT
public:
    CDlgEmailNotifications(CDBManager& db, QWidget* parent);
    void Refresh() override;

    void TestDailyReport();
    void TestNotification();
    void SetupAccount();

    CZenCheckBox* dailyReportBox() const { return dailyReport_; }
    CZenCheckBox* notificationBox() const { return notification_; }
    QLineEdit* passwordEdit() const { return password_; }
    CZenButtonCtrl* testReportButton() const { return testReport_; }
    CZenButtonCtrl* testNotificationButton() const { return testNotification_; }
    MailTestSender& sender() const { return *sender_; }

signals:
    // Every balloon the page showed.
    void balloonShown(const QString& text, BalloonKind kind);

private:
    void DailyReportClicked();
    void NotificationClicked();
    // Stores a check box's state at once.
    void StoreFlag(uint32_t Options::*field, bool on);
    void StorePassword(const QString& text);
    void ShowBalloon(const QString& text, BalloonKind kind);
    void RunTest(MailTestSender::Kind kind);
    void ShowEnabling();

    CDBManager& db_;
    CZenCheckBox* dailyReport_;
    CZenCheckBox* notification_;
    QLineEdit* password_;
    CZenButtonCtrl* testReport_;
    CZenButtonCtrl* testNotification_;
    MailTestSender* sender_;
    bool loading_ = false;
};

void RegisterEmailNotificationsPage(PageCatalog& catalog);

}  // namespace zen::panel
