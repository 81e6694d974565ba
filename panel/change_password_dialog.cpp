#include "panel/change_password_dialog.h"

#include <QLineEdit>

#include "common/db/rules_editor.h"
#include "panel/controls/title_ctrl.h"
#include "panel/controls/zen_button_ctrl.h"
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
    auto* ok = new CZenButtonCtrl(kIdOk, Text(249), kPageButtons, this);
    ok->setGeometry(140, 222, 96, 28);
    auto* cancel = new CZenButtonCtrl(kIdCancel, Text(191), kPageButtons, this);
    cancel->setGeometry(246, 222, 96, 28);
    connect(ok, &CZenButtonCtrl::command, this, &CDlgChangePassword::accept);
    connect(cancel, &CZenButtonCtrl::command, this, &CDlgChangePassword::reject);
    FinishInit();
    new_->setFocus();
}

void CDlgChangePassword::accept() {
    if (new_->text() != repeat_->text()) {
        ShowMessage(this, 181, QMessageBox::Warning);
        return;
    }
    if (SetAdminPassword(db_, ToU16(new_->text())) != EditStatus::Done) {
        ShowEditFailure(this, EditStatus::SaveFailed);
        return;
    }
    ShowMessage(this, 182, QMessageBox::Information);
    done(Accepted);
}

}  // namespace zen::panel
