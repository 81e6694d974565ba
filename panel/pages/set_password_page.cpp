#include "panel/pages/set_password_page.h"

#include <QLineEdit>

#include "common/db/admin_password.h"
#include "common/db/db_manager.h"
#include "common/db/rules_editor.h"
#include "panel/change_password_dialog.h"
#include "panel/controls/zen_button_ctrl.h"
#include "panel/dialog_widgets.h"
#include "panel/message_box.h"
#include "panel/page_catalog.h"
#include "panel/strings.h"
#include "platform/text.h"

namespace zen::panel {
namespace {

constexpr int kTemplate = 157;
constexpr int kApplyId = 1003;

}  // namespace

CDlgAddChangePassword::CDlgAddChangePassword(CDBManager& db, QWidget* parent)
    : PageFrame(kTemplate, "::/manual/settings.html#2", 118, Links::HelpAndBack, parent), db_(db) {
    NewTextLabel(this, 1010, Text(224), QRect(40, 64, 600, 36));
    NewTextLabel(this, 1011, Text(177), QRect(40, 116, 300, 18));
    old_ = NewPasswordEdit(this, 1000, QRect(40, 136, 280, 24));
    NewTextLabel(this, 1012, Text(176), QRect(40, 176, 300, 18));
    new_ = NewPasswordEdit(this, 1001, QRect(40, 196, 280, 24));
    NewTextLabel(this, 1013, Text(178), QRect(40, 236, 300, 18));
    repeat_ = NewPasswordEdit(this, 1002, QRect(40, 256, 280, 24));
    auto* apply = new CZenButtonCtrl(kApplyId, Text(175), kPageButtons, this);
    apply->setGeometry(40, 304, 110, 30);
    connect(apply, &CZenButtonCtrl::command, this, &CDlgAddChangePassword::Apply);
    FinishInit();
}

void CDlgAddChangePassword::Refresh() {
    old_->setEnabled(PasswordRequired(FieldText(db_.OptionsCopy().password)));
    old_->clear();
    new_->clear();
    repeat_->clear();
}

void CDlgAddChangePassword::Apply() {
    const std::u16string stored(FieldText(db_.OptionsCopy().password));
    if (PasswordRequired(stored) && !PasswordMatches(stored, ToU16(old_->text()))) {
        ShowMessage(this, 179, QMessageBox::Warning);
        return;
    }
    if (StoreNewPassword(db_, this, new_->text(), repeat_->text())) {
        Refresh();
    }
}

void RegisterSetPasswordPage(PageCatalog& catalog) {
    catalog.Register("CDlgAddChangePassword", [](CDBManager& db, QWidget* parent) -> CDlgBase* {
        return new CDlgAddChangePassword(db, parent);
    });
}

}  // namespace zen::panel
