#pragma once

#include <QComboBox>
#include <QString>
#include <memory>

namespace zen {
class CDBManager;
}

namespace zen::panel {

// The group last chosen on any schedule page: every schedule page of a panel shares one, so
// a group chosen on one page is the group every other page shows.
struct ChosenGroup {
    QString name;
};

// The "User:" combo of the schedule pages: the groups in table order, the shared choice
// selected.
class GroupChooser : public QComboBox {
    Q_OBJECT
public:
    static constexpr int kControlId = 1037;
    GroupChooser(CDBManager& db, std::shared_ptr<ChosenGroup> chosen, QWidget* parent);

    // Fills the combo again and selects the shared choice; at the first fill of a panel the
    // choice becomes the group of the account running it.
    void Fill();
    const QString& group() const { return chosen_->name; }

signals:
    // Another group was chosen here.
    void groupChosen();

private:
    CDBManager& db_;
    std::shared_ptr<ChosenGroup> chosen_;
};

}  // namespace zen::panel
