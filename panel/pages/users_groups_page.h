#pragma once

#include <QTreeWidget>
#include <optional>

#include "common/db/records.h"
#include "common/db/rules_editor.h"
#include "panel/pages/page_frame.h"

class QLineEdit;

namespace zen {
class CDBManager;
}

namespace zen::panel {

class CZenButtonCtrl;
class CZenCheckBox;
class PageCatalog;

// The groups with their users under them. A user is dragged onto another group (or one of
// its users) to move it there; the tree reports the drop and moves nothing itself.
class CTreeCtrlEx : public QTreeWidget {
    Q_OBJECT
public:
    explicit CTreeCtrlEx(QWidget* parent);

signals:
    void dropped(QTreeWidgetItem* dragged, QTreeWidgetItem* target);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool TakesDrop(const QDropEvent* event) const;
};

// "Computer Users & Groups": the users table as a tree, its edits through the rule editors
// zenctl uses (the built-in groups, a group with users and the account running the panel
// keep their guards), and the settings that hold for a whole group.
class CDlgUsersGroups : public PageFrame {
    Q_OBJECT
public:
    static constexpr int kTemplate = 154;
    CDlgUsersGroups(CDBManager& db, QWidget* parent);
    void Refresh() override;

    CTreeCtrlEx* tree() const { return tree_; }
    CZenButtonCtrl* button(int controlId) const;
    CZenCheckBox* disableBox() const { return disable_; }
    CZenCheckBox* customWarningBox() const { return showWarning_; }
    CZenCheckBox* toolTipBox() const { return toolTips_; }
    QLineEdit* warningEdit() const { return warning_; }
    // What "Test" shows as a balloon for the selected item's group.
    QString TestText() const;

    void NewGroup();
    void NewUser();
    void Rename();
    void Delete();

private:
    void Fill(const QString& select);
    void SelectionChanged();
    std::optional<FastUsersRecord> SelectedRecord() const;
    // The selected item's group: the item itself, or a user's parent item.
    QTreeWidgetItem* SelectedGroupItem() const;
    void MoveByDrop(QTreeWidgetItem* dragged, QTreeWidgetItem* target);
    // Shows how a refused edit went; true when it was done.
    bool Report(EditStatus status);
    void GroupSetting(EditStatus status, bool filtering);
    void TestWarning();

    CDBManager& db_;
    CTreeCtrlEx* tree_;
    CZenCheckBox* disable_;
    CZenCheckBox* showWarning_;
    CZenCheckBox* toolTips_;
    QLineEdit* warning_;
    bool loading_ = false;
};

void RegisterUsersGroupsPage(PageCatalog& catalog);

}  // namespace zen::panel
