#pragma once

#include "panel/controls/dlg_base.h"

class QLineEdit;

namespace zen {
class CDBManager;
}

namespace zen::panel {

class CZenCheckBox;

// "E-mail Account Settings": the outgoing-mail account the reports and notifications go
// through. The user name and password are asked only while the server requires
// authentication; "Ok" stores every field at once, closing discards the entries.
class CDlgEmailAccountSettings : public CDlgBase {
    Q_OBJECT
public:
    CDlgEmailAccountSettings(CDBManager& db, QWidget* parent);

    QLineEdit* serverEdit() const { return server_; }
    QLineEdit* portEdit() const { return port_; }
    QLineEdit* senderEdit() const { return sender_; }
    QLineEdit* recipientsEdit() const { return recipients_; }
    QLineEdit* userEdit() const { return user_; }
    QLineEdit* passwordEdit() const { return password_; }
    CZenCheckBox* authenticationBox() const { return authentication_; }

    void accept() override;

private:
    void Load();
    void AuthenticationChanged();

    CDBManager& db_;
    QLineEdit* server_;
    QLineEdit* port_;
    QLineEdit* sender_;
    QLineEdit* recipients_;
    QLineEdit* user_;
    QLineEdit* password_;
    CZenCheckBox* authentication_;
};

}  // namespace zen::panel
