#include "panel/password_dialog.h"

#include <QLineEdit>

#include "common/db/admin_password.h"
#include "common/db/db_manager.h"
#include "panel/controls/title_ctrl.h"
#include "panel/dialog_widgets.h"
#include "panel/message_box.h"
#include "panel/strings.h"
#include "platform/text.h"

namespace zen::panel {
namespace {

constexpr int kTemplate = 249;
constexpr int kEditId = 1000;
constexpr int kPromptId = 1001;
constexpr int kTitleId = 1002;

}  // namespace

CDlgPassword::CDlgPassword(std::u16string stored, QWidget* parent)
    : CDlgBase(kTemplate, {}, Kind::Window, parent), stored_(std::move(stored)) {
    setObjectName("CDlgPassword");
    setWindowTitle(ProductName());
    setMovable(true);
    SetBackground(Picture::PageBackground, QSize(340, 170));
    auto* title = new CTitleCtrl(kTitleId, Text(250), this);
    title->setGeometry(16, 10, 300, 36);
    NewTextLabel(this, kPromptId, Text(251), QRect(18, 56, 300, 18));
    edit_ = NewPasswordEdit(this, kEditId, QRect(18, 78, 304, 24));
    AddOkCancelButtons(this, 122);
    FinishInit();
    edit_->setFocus();
}

void CDlgPassword::accept() {
    const QString given = edit_->text();
    if (!PasswordMatches(stored_, ToU16(given))) {
        ShowMessage(this, 252, QMessageBox::Critical);
        done(Rejected);
        return;
    }
    entered_ = given;
    done(Accepted);
}

std::optional<QString> PasswordGate(CDBManager& db, QWidget* parent) {
    return PasswordGate(FieldText(db.OptionsCopy().password), parent);
}

std::optional<QString> PasswordGate(std::u16string_view stored, QWidget* parent) {
    if (!PasswordRequired(stored)) {
        return QString();
    }
    CDlgPassword prompt(std::u16string(stored), parent);
    if (prompt.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return prompt.entered();
}

}  // namespace zen::panel
