#include "panel/sys_time_changed_dialog.h"

#include <QLineEdit>

#include "common/db/admin_password.h"
#include "common/db/db_manager.h"
#include "common/db/rules_editor.h"
#include "panel/controls/title_ctrl.h"
#include "panel/dialog_widgets.h"
#include "panel/message_box.h"
#include "panel/strings.h"
#include "platform/text.h"

namespace zen::panel {
namespace {

constexpr int kTemplate = 308;

}  // namespace

CDlgSysTimeChanged::CDlgSysTimeChanged(CDBManager& db, QWidget* parent)
    : CDlgBase(kTemplate, {}, Kind::Window, parent), db_(db) {
    setObjectName("CDlgSysTimeChanged");
    setWindowTitle(ProductName());
    setMovable(true);
    setAttribute(Qt::WA_DeleteOnClose);
    SetBackground(Picture::PageBackground, QSize(380, 230));
    auto* title = new CTitleCtrl(1010, ProductName(), this);
    title->setGeometry(16, 10, 340, 36);
    NewTextLabel(this, 1011, Text(308), QRect(18, 54, 344, 64));
    NewTextLabel(this, 1012, Text(258), QRect(18, 128, 344, 18));
    edit_ = NewPasswordEdit(this, 1000, QRect(18, 148, 344, 24));
    AddOkCancelButtons(this, 186);
    FinishInit();
}

void CDlgSysTimeChanged::accept() {
    if (!PasswordMatches(FieldText(db_.OptionsCopy().password), ToU16(edit_->text()))) {
        ShowMessage(this, 252, QMessageBox::Critical);
        return;
    }
    EditOptions(db_, [](Options& options) {
        options.clockLock = 0;
        return EditStatus::Done;
    });
    done(Accepted);
}

}  // namespace zen::panel
