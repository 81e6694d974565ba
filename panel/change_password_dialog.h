#pragma once

#include "panel/controls/dlg_base.h"

class QLineEdit;

namespace zen {
class CDBManager;
}

namespace zen::panel {

// "Change password" from the tray: the old password (as just given at the gate) is shown
// and fixed; the new one must be typed twice alike. An empty new password switches the gate
// off.
class CDlgChangePassword : public CDlgBase {
    Q_OBJECT
public:
    CDlgChangePassword(CDBManager& db, const QString& oldPassword, QWidget* parent);
    QLineEdit* oldEdit() const { return old_; }
    QLineEdit* newEdit() const { return new_; }
    QLineEdit* repeatEdit() const { return repeat_; }
    void accept() override;

private:
    CDBManager& db_;
    QLineEdit* old_;
    QLineEdit* new_;
    QLineEdit* repeat_;
};

// Stores `password` when `repeated` equals it and says how that went (stays silent on nothing
// else): "Passwords do not match", a save failure, or "Password has been changed". The tray's
// dialog and the "Set Password" page both end here. True when stored.
bool StoreNewPassword(CDBManager& db, QWidget* parent, const QString& password,
                      const QString& repeated);

}  // namespace zen::panel
