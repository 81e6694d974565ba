#include "panel/pages/email_notifications_page.h"

#include <QLineEdit>

#include "common/db/db_manager.h"
#include "common/db/option_fields.h"
#include "common/db/rules_editor.h"
#include "common/mail/mail_account.h"
#include "panel/command_button.h"
#include "panel/controls/zen_button_ctrl.h"
#include "panel/controls/zen_check_box.h"
#include "panel/dialog_widgets.h"
#include "panel/email_account_dialog.h"
#include "panel/mail_test_sender.h"
#include "panel/main_window.h"
#include "panel/message_box.h"
#include "panel/page_catalog.h"
#include "panel/strings.h"
#include "platform/text.h"

namespace zen::panel {
namespace {

constexpr int kTemplate = 255;

}  // namespace

CDlgEmailNotifications::CDlgEmailNotifications(CDBManager& db, QWidget* parent)
    : PageFrame(kTemplate, "::/manual/settings.html#4", 255, Links::HelpAndBack, parent),
      db_(db),
      sender_(new MailTestSender(db, this)) {
    NewTextLabel(this, 1129, Text(263), QRect(40, 64, 600, 40));
    dailyReport_ = new CZenCheckBox(1012, Text(256), this);
    dailyReport_->setGeometry(40, 120, 300, 22);
    NewTextLabel(this, 1122, Text(258), QRect(64, 152, 100, 20));
    password_ = NewPasswordEdit(this, 1121, QRect(170, 150, 220, 24));
    NewTextLabel(this, 1123, Text(259), QRect(64, 180, 560, 36));
    testReport_ = NewCommandButton(this, 1126, 260, QRect(64, 222, 190, 30), kMailButtons);
    notification_ = new CZenCheckBox(1013, Text(257), this);
    notification_->setGeometry(40, 280, 300, 22);
    testNotification_ = NewCommandButton(this, 1127, 261, QRect(64, 312, 190, 30), kMailButtons);
    auto* setup = NewCommandButton(this, 1128, 262, QRect(40, 376, 190, 30));
    connect(dailyReport_, &ZenControl::command, this, &CDlgEmailNotifications::DailyReportClicked);
    connect(notification_, &ZenControl::command, this,
            &CDlgEmailNotifications::NotificationClicked);
    connect(password_, &QLineEdit::textEdited, this, &CDlgEmailNotifications::StorePassword);
    connect(testReport_, &CZenButtonCtrl::command, this, &CDlgEmailNotifications::TestDailyReport);
    connect(testNotification_, &CZenButtonCtrl::command, this,
            &CDlgEmailNotifications::TestNotification);
    connect(setup, &CZenButtonCtrl::command, this, &CDlgEmailNotifications::SetupAccount);
    connect(sender_, &MailTestSender::finished, this, [this](bool sent, const QString& answer) {
        ShowBalloon(answer, sent ? BalloonKind::Information : BalloonKind::Warning);
    });
    FinishInit();
}

void CDlgEmailNotifications::Refresh() {
    const Options options = db_.OptionsCopy();
    loading_ = true;
    dailyReport_->setChecked(options.SendDailyReport != 0);
    notification_->setChecked(options.SendNotificationEMail != 0);
    password_->setText(FromU16(ReportPasswordField().text(options)));
    loading_ = false;
    ShowEnabling();
}

void CDlgEmailNotifications::ShowEnabling() {
    password_->setEnabled(dailyReport_->isChecked());
    testReport_->setEnabled(dailyReport_->isChecked());
    testNotification_->setEnabled(notification_->isChecked());
}

void CDlgEmailNotifications::DailyReportClicked() {
    StoreFlag(&Options::SendDailyReport, dailyReport_->isChecked());
}

void CDlgEmailNotifications::NotificationClicked() {
    StoreFlag(&Options::SendNotificationEMail, notification_->isChecked());
}

void CDlgEmailNotifications::StoreFlag(uint32_t Options::*field, bool on) {
    ShowEnabling();
    if (loading_) {
        return;
    }
    const EditStatus status = EditOptions(db_, [&](Options& options) {
        options.*field = on ? 1 : 0;
        return EditStatus::Done;
    });
    if (status != EditStatus::Done) {
        ShowEditFailure(this, status);
    }
}

void CDlgEmailNotifications::StorePassword(const QString& text) {
    const EditStatus status = EditOptions(db_, [&](Options& options) {
        return SetSecretValue(options, ReportPasswordField(), ToU16(text));
    });
    if (status != EditStatus::Done) {
        ShowEditFailure(this, status);
    }
}

void CDlgEmailNotifications::ShowBalloon(const QString& text, BalloonKind kind) {
    // The main window's tray shows it; the page is made before the tray exists, so it is
    // looked up only now.
    if (auto* window = qobject_cast<CDlgZenCP*>(parentWidget())) {
        window->tray().ShowBalloon(text, kind);
    }
    emit balloonShown(text, kind);
}

void CDlgEmailNotifications::RunTest(MailTestSender::Kind kind) {
    if (!MailAccountSetUp(db_.OptionsCopy())) {
        ShowBalloon(Text(298), BalloonKind::Warning);
        return;
    }
    sender_->Start(kind);
}

void CDlgEmailNotifications::TestDailyReport() {
    RunTest(MailTestSender::Kind::DailyReport);
}

void CDlgEmailNotifications::TestNotification() {
    RunTest(MailTestSender::Kind::Notification);
}

void CDlgEmailNotifications::SetupAccount() {
    CDlgEmailAccountSettings dialog(db_, this);
    dialog.exec();
}

void RegisterEmailNotificationsPage(PageCatalog& catalog) {
    catalog.Register("CDlgEmailNotifications", [](CDBManager& db, QWidget* parent) -> CDlgBase* {
        return new CDlgEmailNotifications(db, parent);
    });
}

}  // namespace zen::panel
