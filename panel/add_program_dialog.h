#pragma once

#include "panel/controls/dlg_base.h"

class QComboBox;
class QLineEdit;
class QTreeWidget;

namespace zen {
class CDBManager;
}

namespace zen::panel {

// "Add program": the group the entry is for and the program's path, typed, chosen "From
// disk" with a file dialog or "From memory" among the running programs. "Add program" accepts
// only a path where a file exists.
class CDlgAddProgram : public CDlgBase {
    Q_OBJECT
public:
    CDlgAddProgram(CDBManager& db, QWidget* parent);

    QString group() const;
    QString path() const;
    QComboBox* groupCombo() const { return groups_; }
    QLineEdit* pathEdit() const { return path_; }

    void FromDisk();
    void FromMemory();
    void accept() override;

private:
    QComboBox* groups_;
    QLineEdit* path_;
};

// "Add program from memory": the running programs and their owners; "Add" takes the selected
// row.
class CDlgProgramFromMemory : public CDlgBase {
    Q_OBJECT
public:
    explicit CDlgProgramFromMemory(QWidget* parent);

    QTreeWidget* list() const { return list_; }
    QString chosenPath() const { return chosen_; }
    void Fill();
    void accept() override;

private:
    QTreeWidget* list_;
    QString chosen_;
};

}  // namespace zen::panel
