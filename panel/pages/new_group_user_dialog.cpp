#include "panel/pages/new_group_user_dialog.h"

#include <QComboBox>
#include <QLineEdit>

#include "common/db/rules_editor.h"
#include "panel/controls/title_ctrl.h"
#include "panel/dialog_widgets.h"
#include "panel/strings.h"

namespace zen::panel {
namespace {

constexpr QRect kFieldRect(18, 88, 324, 24);

}  // namespace

CDlgNewGroupUser::CDlgNewGroupUser(int labelId, QWidget* parent)
    : CDlgBase(kTemplate, {}, Kind::Window, parent) {
    setObjectName("CDlgNewGroupUser");
    setWindowTitle(ProductName());
    setMovable(true);
    SetBackground(Picture::PageBackground, QSize(360, 170));
    auto* title = new CTitleCtrl(1010, Text(254), this);
    title->setGeometry(16, 10, 320, 36);
    NewTextLabel(this, 1011, Text(labelId), QRect(18, 64, 320, 18));
    AddOkCancelButtons(this, 126);
}

CDlgNewGroupUser::CDlgNewGroupUser(QWidget* parent) : CDlgNewGroupUser(186, parent) {
    edit_ = new QLineEdit(this);
    SetControlId(edit_, 1000);
    edit_->setMaxLength(static_cast<int>(kMaxNameUnits));
    edit_->setGeometry(kFieldRect);
    FinishInit();
    edit_->setFocus();
}

CDlgNewGroupUser::CDlgNewGroupUser(const QStringList& logins, QWidget* parent)
    : CDlgNewGroupUser(187, parent) {
    logins_ = new QComboBox(this);
    SetControlId(logins_, 1000);
    logins_->addItems(logins);
    logins_->setGeometry(kFieldRect);
    FinishInit();
    logins_->setFocus();
}

QString CDlgNewGroupUser::name() const {
    return edit_ != nullptr ? edit_->text().trimmed() : logins_->currentText();
}

}  // namespace zen::panel
