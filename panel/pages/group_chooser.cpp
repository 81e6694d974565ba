#include "panel/pages/group_chooser.h"

#include <QSignalBlocker>

#include "common/db/db_manager.h"
#include "panel/controls/dlg_base.h"
#include "panel/dialog_widgets.h"
#include "panel/pages/stored_users.h"
#include "panel/strings.h"
#include "platform/text.h"

namespace zen::panel {

GroupChooser::GroupChooser(CDBManager& db, std::shared_ptr<ChosenGroup> chosen, QWidget* parent)
    : QComboBox(parent), db_(db), chosen_(std::move(chosen)) {
    SetControlId(this, kControlId);
    connect(this, &QComboBox::activated, this, [this](int index) {
        chosen_->name = itemText(index);
        emit groupChosen();
    });
}

void GroupChooser::Fill() {
    const QSignalBlocker quiet(this);
    clear();
    for (const FastUsersRecord& record : StoredUsers(db_)) {
        if (record.ParentID == 0) {
            addItem(FromU16(FieldText(record.name)));
        }
    }
    setCurrentIndex(findText(FromU16(db_.CurrentGroupName()), Qt::MatchExactly));
    if (chosen_->name.isEmpty()) {
        chosen_->name = currentIndex() >= 0 ? currentText() : Text(144);
    }
    setCurrentIndex(findText(chosen_->name, Qt::MatchExactly));
}

}  // namespace zen::panel
