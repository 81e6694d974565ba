#pragma once

#include <QStringList>

#include "panel/controls/dlg_base.h"

class QComboBox;
class QLineEdit;

namespace zen::panel {

// "New user or group": asks a group's name (a new group, a rename) or, for a new user, which
// of the machine's login accounts to add; only accounts not yet listed are offered.
class CDlgNewGroupUser : public CDlgBase {
    Q_OBJECT
public:
    static constexpr int kTemplate = 186;
    // A group name is typed.
    explicit CDlgNewGroupUser(QWidget* parent);
    // A login is chosen among `logins`.
    CDlgNewGroupUser(const QStringList& logins, QWidget* parent);

    QString name() const;
    QLineEdit* nameEdit() const { return edit_; }
    QComboBox* loginCombo() const { return logins_; }

private:
    CDlgNewGroupUser(int labelId, QWidget* parent);

    QLineEdit* edit_ = nullptr;
    QComboBox* logins_ = nullptr;
};

}  // namespace zen::panel
