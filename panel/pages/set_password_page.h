#pragma once

#include "panel/pages/page_frame.h"

class QLineEdit;

namespace zen {
class CDBManager;
}

namespace zen::panel {

class PageCatalog;

// "Set Password" in the Settings section: the old password (asked only while one is set),
// the new one twice; "Apply" stores it.
class CDlgAddChangePassword : public PageFrame {
    Q_OBJECT
public:
    CDlgAddChangePassword(CDBManager& db, QWidget* parent);
    void Refresh() override;
    void Apply();

    QLineEdit* oldEdit() const { return old_; }
    QLineEdit* newEdit() const { return new_; }
    QLineEdit* repeatEdit() const { return repeat_; }

private:
    CDBManager& db_;
    QLineEdit* old_;
    QLineEdit* new_;
    QLineEdit* repeat_;
};

void RegisterSetPasswordPage(PageCatalog& catalog);

}  // namespace zen::panel
