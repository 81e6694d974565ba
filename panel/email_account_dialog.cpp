#include "panel/email_account_dialog.h"

#include <QIntValidator>
#include <QLineEdit>

#include "common/db/db_manager.h"
#include "common/db/rules_editor.h"
#include "panel/command_button.h"
#include "panel/controls/title_ctrl.h"
#include "panel/controls/zen_button_ctrl.h"
#include "panel/controls/zen_check_box.h"
#include "panel/controls/zen_control.h"
#include "panel/dialog_widgets.h"
#include "panel/message_box.h"
#include "panel/strings.h"
#include "platform/text.h"

namespace zen::panel {
namespace {

constexpr int kTemplate = 265;

// Each edit takes no more than its field stores.
constexpr int kServerUnits = 38;
constexpr int kSenderUnits = 38;
constexpr int kRecipientsUnits = 150;
constexpr int kAccountUnits = 23;

QLineEdit* NewEdit(QWidget* parent, int controlId, int maxLength, QRect geometry) {
    auto* edit = new QLineEdit(parent);
    SetControlId(edit, controlId);
    edit->setMaxLength(maxLength);
    edit->setGeometry(geometry);
    return edit;
}

}  // namespace

CDlgEmailAccountSettings::CDlgEmailAccountSettings(CDBManager& db, QWidget* parent)
    : CDlgBase(kTemplate, {}, Kind::Window, parent), db_(db) {
    setObjectName("CDlgEmailAccountSettings");
    setWindowTitle(ProductName());
    setMovable(true);
    SetBackground(Picture::PageBackground, QSize(520, 470));
    auto* title = new CTitleCtrl(1010, Text(265), this);
    title->setGeometry(16, 10, 440, 36);
    constexpr int kLeft = 18;
    constexpr int kWidth = 484;
    NewTextLabel(this, 1141, Text(266), QRect(kLeft, 54, kWidth, 18));
    server_ = NewEdit(this, 1139, kServerUnits, QRect(kLeft, 74, kWidth, 24));
    NewTextLabel(this, 1142, Text(267), QRect(kLeft, 106, kWidth, 18));
    port_ = NewEdit(this, 1140, 5, QRect(kLeft, 126, 100, 24));
    port_->setValidator(new QIntValidator(0, 65535, port_));
    NewTextLabel(this, 1143, Text(268), QRect(kLeft, 158, kWidth, 18));
    sender_ = NewEdit(this, 1138, kSenderUnits, QRect(kLeft, 178, kWidth, 24));
    NewTextLabel(this, 1144, Text(269), QRect(kLeft, 210, kWidth, 18));
    recipients_ = NewEdit(this, 1130, kRecipientsUnits, QRect(kLeft, 230, kWidth, 24));
    authentication_ = new CZenCheckBox(1131, Text(271), this);
    authentication_->setGeometry(kLeft, 270, kWidth, 22);
    NewTextLabel(this, 1145, Text(270), QRect(kLeft, 300, kWidth, 18));
    user_ = NewEdit(this, 1132, kAccountUnits, QRect(kLeft, 320, 240, 24));
    NewTextLabel(this, 1146, Text(250), QRect(kLeft, 352, kWidth, 18));
    password_ = NewPasswordEdit(this, 1121, QRect(kLeft, 372, 240, 24));
    connect(authentication_, &ZenControl::command, this,
            &CDlgEmailAccountSettings::AuthenticationChanged);
    auto* ok = NewCommandButton(this, 1106, 249, QRect(392, 420, 110, 30));
    connect(ok, &CZenButtonCtrl::command, this, &CDlgEmailAccountSettings::accept);
    SetDefaultButton(ok);
    AddCloseButton();
    FinishInit();
    Load();
}

void CDlgEmailAccountSettings::Load() {
    const Options options = db_.OptionsCopy();
    server_->setText(FromU16(FieldText(options.SMTPServer)));
    port_->setText(QString::number(options.Port));
    sender_->setText(FromU16(FieldText(options.SMTPFrom)));
    recipients_->setText(FromU16(FieldText(options.SMTPTo)));
    user_->setText(FromU16(FieldText(options.EMailName)));
    password_->setText(FromU16(FieldText(options.serverPassword)));
    authentication_->setChecked(options.EnableServerAuthentication != 0);
    AuthenticationChanged();
}

void CDlgEmailAccountSettings::AuthenticationChanged() {
    user_->setEnabled(authentication_->isChecked());
    password_->setEnabled(authentication_->isChecked());
}

void CDlgEmailAccountSettings::accept() {
    const EditStatus status = EditOptions(db_, [&](Options& options) {
        SetFieldText(options.SMTPServer, ToU16(server_->text().trimmed()), kServerUnits);
        options.Port = port_->text().toUInt();
        SetFieldText(options.SMTPFrom, ToU16(sender_->text().trimmed()), kSenderUnits);
        SetFieldText(options.SMTPTo, ToU16(recipients_->text()), kRecipientsUnits);
        options.EnableServerAuthentication = authentication_->isChecked() ? 1 : 0;
        SetFieldText(options.EMailName, ToU16(user_->text()), kAccountUnits);
        SetFieldText(options.serverPassword, ToU16(password_->text()), kAccountUnits);
        return EditStatus::Done;
    });
    if (status != EditStatus::Done) {
        ShowEditFailure(this, status);
        return;
    }
    done(Accepted);
}

}  // namespace zen::panel
