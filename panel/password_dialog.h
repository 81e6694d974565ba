#pragma once

#include <optional>

#include "panel/controls/dlg_base.h"

class QLineEdit;

namespace zen {
class CDBManager;
}

namespace zen::panel {

// "Please enter the password:": the prompt of the password gate.
class CDlgPassword : public CDlgBase {
    Q_OBJECT
public:
    CDlgPassword(std::u16string stored, QWidget* parent);
    // The text entered when it matched.
    const QString& entered() const { return entered_; }
    QLineEdit* edit() const { return edit_; }
    void accept() override;

private:
    std::u16string stored_;
    QLineEdit* edit_;
    QString entered_;
};

// The gate before every protected action: passes at once while no password is stored, else
// asks. Gives the text entered (empty when nothing was asked) when it passes, nothing when the
// entry was wrong (after saying so) or cancelled.
std::optional<QString> PasswordGate(CDBManager& db, QWidget* parent);
std::optional<QString> PasswordGate(std::u16string_view stored, QWidget* parent);

}  // namespace zen::panel
