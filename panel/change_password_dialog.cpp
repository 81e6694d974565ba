#include "panel/change_password_dialog.h"

#include <QLineEdit>

#include "common/db/rules_editor.h"
#include "panel/controls/title_ctrl.h"
#include "panel/dialog_widgets.h"
#include "panel/message_box.h"
#include "panel/strings.h"

namespace zen::panel {
namespace {

constexpr int kTemplate = 253;

}  // namespace

CDlgChangePassword::CDlgChangePassword(CDBManager& db, const QString& oldPassword, QWidget* parent)
    : CDlgBase(kTemplate, {}, Kind::Window, parent), db_(db) {
    setObjectName("CDlgChangePassword");
    setWindowTitle(ProductName());
    setMovable(true);
    SetBackground(Picture::PageBackground, QSize(360, 270));
    auto* title = new CTitleCtrl(1010, Text(253), this);
    title->setGeometry(16, 10, 320, 36);
    NewTextLabel(this, 1011, Text(177), QRect(18, 56, 320, 18));
    old_ = NewPasswordEdit(this, 1000, QRect(18, 76, 324, 24));
    old_->setText(oldPassword);
    old_->setEnabled(false);
    NewTextLabel(this, 1012, Text(176), QRect(18, 108, 320, 18));
    new_ = NewPasswordEdit(this, 1001, QRect(18, 128, 324, 24));
    NewTextLabel(this, 1013, Text(178), QRect(18, 160, 320, 18));
    repeat_ = NewPasswordEdit(this, 1002, QRect(18, 180, 324, 24));
    AddOkCancelButtons(this, 222);
    FinishInit();
    new_->setFocus();
}

void CDlgChangePassword::accept() {
    if (StoreNewPassword(db_, this, new_->text(), repeat_->text())) {
        done(Accepted);
    }
}

bool StoreNewPassword(CDBManager& db, QWidget* parent, const QString& password,
                      const QString& repeated) {
    if (password != repeated) {
        ShowMessage(parent, 181, QMessageBox::Warning);
        return false;
    }
    const EditStatus status = SetAdminPassword(db, ToU16(password));
    if (status != EditStatus::Done) {
        ShowEditFailure(parent, status);
        return false;
    }
    ShowMessage(parent, 182, QMessageBox::Information);
    return true;
}

}  // namespace zen::panel
