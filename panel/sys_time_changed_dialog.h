#pragma once

#include "panel/controls/dlg_base.h"

class QLineEdit;

namespace zen {
class CDBManager;
}

namespace zen::panel {

// Shown when the clock was set while the Internet is under a schedule: the Internet stays
// locked until the administrator's password is given here. Cancel leaves the lock on.
class CDlgSysTimeChanged : public CDlgBase {
    Q_OBJECT
public:
    CDlgSysTimeChanged(CDBManager& db, QWidget* parent);
    QLineEdit* edit() const { return edit_; }
    void accept() override;

private:
    CDBManager& db_;
    QLineEdit* edit_;
};

}  // namespace zen::panel
