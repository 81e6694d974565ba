#include "panel/pages/users_groups_page.h"

#include <QDropEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>

#include "common/db/db_manager.h"
#include "common/db/name_compare.h"
#include "common/db/rules_model.h"
#include "panel/controls/zen_button_ctrl.h"
#include "panel/controls/zen_check_box.h"
#include "panel/dialog_widgets.h"
#include "panel/main_window.h"
#include "panel/message_box.h"
#include "panel/page_catalog.h"
#include "panel/pages/new_group_user_dialog.h"
#include "panel/pages/stored_users.h"
#include "panel/strings.h"
#include "panel/tray.h"
#include "platform/accounts.h"
#include "platform/text.h"

namespace zen::panel {
namespace {

constexpr int kNewGroupId = 1124;
constexpr int kNewUserId = 1125;
constexpr int kRenameId = 1126;
constexpr int kDeleteId = 1099;
constexpr int kTestId = 1123;
constexpr int kIdRole = Qt::UserRole;
constexpr int kGroupRole = Qt::UserRole + 1;

// The accounts the system never controls are never listed: the names that stand for them,
// and the machine's root and system accounts.
bool IsServiceAccountName(std::u16string_view name) {
    for (const std::u16string_view service : {u"SYSTEM", u"NETWORK SERVICE", u"LOCAL SERVICE"}) {
        if (NameCompare(name, service) == 0) {
            return true;
        }
    }
    return IsSystemAccountName(Utf16ToUtf8(name));
}

bool IsGroupItem(const QTreeWidgetItem* item) {
    return item != nullptr && item->parent() == nullptr;
}

}  // namespace

CTreeCtrlEx::CTreeCtrlEx(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
}

bool CTreeCtrlEx::TakesDrop(const QDropEvent* event) const {
    // Only an item of this tree (what it is dragging) is taken, and only onto an item.
    return event->mimeData() != nullptr &&
           event->mimeData()->hasFormat(model()->mimeTypes().value(0)) &&
           currentItem() != nullptr && itemAt(event->position().toPoint()) != nullptr;
}

void CTreeCtrlEx::dragEnterEvent(QDragEnterEvent* event) {
    event->setAccepted(TakesDrop(event));
}

void CTreeCtrlEx::dragMoveEvent(QDragMoveEvent* event) {
    event->setAccepted(TakesDrop(event));
}

void CTreeCtrlEx::dropEvent(QDropEvent* event) {
    if (!TakesDrop(event)) {
        event->ignore();
        return;
    }
    QTreeWidgetItem* target = itemAt(event->position().toPoint());
    QTreeWidgetItem* dragged = currentItem();
    // The page moves the record and fills the tree again from the table.
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
    if (dragged != target) {
        emit dropped(dragged, target);
    }
}

CDlgUsersGroups::CDlgUsersGroups(CDBManager& db, QWidget* parent)
    : PageFrame(kTemplate, "::/manual/settings.html#1", 117, Links::HelpAndBack, parent),
      db_(db),
      tree_(new CTreeCtrlEx(this)),
      disable_(new CZenCheckBox(1095, Text(174), this)),
      showWarning_(new CZenCheckBox(1096, Text(173), this)),
      toolTips_(new CZenCheckBox(1119, Text(229), this)),
      warning_(new QLineEdit(this)) {
    SetControlId(tree_, 1059);
    tree_->setGeometry(30, 64, 300, 370);
    struct ButtonSpec {
        int id;
        int captionId;
        void (CDlgUsersGroups::*action)();
    };
    const ButtonSpec buttons[] = {{kNewGroupId, 168, &CDlgUsersGroups::NewGroup},
                                  {kNewUserId, 169, &CDlgUsersGroups::NewUser},
                                  {kRenameId, 170, &CDlgUsersGroups::Rename},
                                  {kDeleteId, 171, &CDlgUsersGroups::Delete},
                                  {kTestId, 172, &CDlgUsersGroups::TestWarning}};
    int top = 64;
    std::vector<QWidget*> tabOrder{tree_};
    for (const ButtonSpec& spec : buttons) {
        auto* button = new CZenButtonCtrl(spec.id, Text(spec.captionId), kUsersPageButtons, this);
        button->setGeometry(350, top, 130, 30);
        connect(button, &CZenButtonCtrl::command, this, spec.action);
        tabOrder.push_back(button);
        top += 40;
    }
    disable_->setGeometry(350, 280, 200, 22);
    showWarning_->setGeometry(350, 310, 200, 22);
    SetControlId(warning_, 1062);
    warning_->setMaxLength(static_cast<int>(kMaxWarningUnits));
    warning_->setGeometry(350, 336, 300, 24);
    toolTips_->setGeometry(350, 410, 220, 22);
    // Down the tree, then down the buttons and settings beside it, then the links at the foot.
    tabOrder.insert(tabOrder.end(), {disable_, showWarning_, warning_, toolTips_});
    const std::vector<QWidget*> foot = footLinks();
    tabOrder.insert(tabOrder.end(), foot.begin(), foot.end());
    SetTabOrder(tabOrder);

    connect(tree_, &QTreeWidget::currentItemChanged, this, &CDlgUsersGroups::SelectionChanged);
    connect(tree_, &CTreeCtrlEx::dropped, this, &CDlgUsersGroups::MoveByDrop);
    connect(disable_, &CZenCheckBox::command, this, [this] {
        if (const auto record = SelectedRecord(); record && !loading_) {
            GroupSetting(SetDisable(db_, FieldText(record->name), disable_->isChecked()), true);
        }
    });
    connect(showWarning_, &CZenCheckBox::command, this, [this] {
        warning_->setEnabled(showWarning_->isChecked());
        if (const auto record = SelectedRecord(); record && !loading_) {
            GroupSetting(
                SetShowCustomWarning(db_, FieldText(record->name), showWarning_->isChecked()),
                false);
        }
    });
    connect(warning_, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (const auto record = SelectedRecord()) {
            GroupSetting(SetCustomWarning(db_, FieldText(record->name), ToU16(text)), false);
        }
    });
    connect(toolTips_, &CZenCheckBox::command, this, [this] {
        if (loading_) {
            return;
        }
        Report(EditOptions(db_, [this](Options& options) {
            options.toolTipsOff = toolTips_->isChecked() ? 0 : 1;
            return EditStatus::Done;
        }));
    });
    FinishInit();
}

CZenButtonCtrl* CDlgUsersGroups::button(int controlId) const {
    for (CZenButtonCtrl* button : findChildren<CZenButtonCtrl*>()) {
        if (button->controlId() == controlId) {
            return button;
        }
    }
    return nullptr;
}

void CDlgUsersGroups::Refresh() {
    loading_ = true;
    toolTips_->setChecked(db_.OptionsCopy().toolTipsOff == 0);
    loading_ = false;
    Fill(FromU16(db_.CurrentUserName()));
}

void CDlgUsersGroups::Fill(const QString& select) {
    const std::vector<FastUsersRecord> records = StoredUsers(db_);
    const QSignalBlocker quiet(tree_);
    tree_->clear();
    QTreeWidgetItem* selected = nullptr;
    for (const FastUsersRecord& group : records) {
        if (group.ParentID != 0) {
            continue;
        }
        auto* groupItem = new QTreeWidgetItem(tree_, {FromU16(FieldText(group.name))});
        groupItem->setData(0, kIdRole, group.UserID);
        groupItem->setFlags(groupItem->flags() & ~Qt::ItemIsDragEnabled);
        for (const FastUsersRecord& user : records) {
            const std::u16string_view name = FieldText(user.name);
            if (user.ParentID != group.UserID || name.empty() || IsServiceAccountName(name)) {
                continue;
            }
            auto* userItem = new QTreeWidgetItem(groupItem, {FromU16(name)});
            userItem->setData(0, kIdRole, user.UserID);
            userItem->setFlags(userItem->flags() & ~Qt::ItemIsDropEnabled);
            if (userItem->text(0) == select) {
                selected = userItem;
            }
        }
        if (groupItem->text(0) == select) {
            selected = groupItem;
        }
    }
    tree_->expandAll();
    if (selected != nullptr) {
        tree_->setCurrentItem(selected);
        tree_->scrollToItem(selected);
    }
    SelectionChanged();
}

std::optional<FastUsersRecord> CDlgUsersGroups::SelectedRecord() const {
    const QTreeWidgetItem* item = tree_->currentItem();
    if (item == nullptr) {
        return std::nullopt;
    }
    return StoredRecord(db_, ToU16(item->text(0)));
}

QTreeWidgetItem* CDlgUsersGroups::SelectedGroupItem() const {
    QTreeWidgetItem* item = tree_->currentItem();
    return IsGroupItem(item) || item == nullptr ? item : item->parent();
}

void CDlgUsersGroups::SelectionChanged() {
    const std::optional<FastUsersRecord> record = SelectedRecord();
    const bool isGroup = record && record->ParentID == 0;
    const bool builtIn =
        isGroup && record->UserID >= kAdministratorsId && record->UserID <= kGuestsId;
    button(kNewUserId)->setEnabled(isGroup);
    button(kRenameId)->setEnabled(record && !builtIn);
    button(kDeleteId)->setEnabled(record && !builtIn);
    button(kTestId)->setEnabled(record.has_value());
    loading_ = true;
    disable_->setChecked(record && record->Disable != 0);
    showWarning_->setChecked(record && record->ShowCustomWarning != 0);
    loading_ = false;
    const QSignalBlocker quiet(warning_);
    warning_->setText(record ? FromU16(FieldText(record->CustomWarning)) : QString());
    warning_->setEnabled(showWarning_->isChecked());
    disable_->setEnabled(record.has_value());
    showWarning_->setEnabled(record.has_value());
}

bool CDlgUsersGroups::Report(EditStatus status) {
    switch (status) {
        case EditStatus::Done:
            return true;
        case EditStatus::AlreadyExists:
            ShowMessage(this, 188, QMessageBox::Warning);
            break;
        case EditStatus::GroupNotEmpty:
            ShowMessage(this, 195, QMessageBox::Warning);
            break;
        case EditStatus::ProtectedUser:
            ShowMessage(this, 199, QMessageBox::Warning);
            break;
        case EditStatus::NotFound:
            // Gone meanwhile: the tree shows the table again.
            break;
        default:
            ShowEditFailure(this, status);
            break;
    }
    return false;
}

void CDlgUsersGroups::NewGroup() {
    CDlgNewGroupUser dialog(this);
    if (dialog.exec() != QDialog::Accepted || dialog.name().isEmpty()) {
        return;
    }
    if (Report(AddGroup(db_, ToU16(dialog.name())))) {
        Fill(dialog.name());
    }
}

void CDlgUsersGroups::NewUser() {
    QTreeWidgetItem* group = tree_->currentItem();
    if (!IsGroupItem(group)) {
        return;
    }
    // Only the machine's login accounts that are not in the table yet.
    QStringList logins;
    for (const std::string& login : PersonAccounts()) {
        const QString name = QString::fromStdString(login);
        if (!StoredRecord(db_, ToU16(name))) {
            logins << name;
        }
    }
    CDlgNewGroupUser dialog(logins, this);
    if (dialog.exec() != QDialog::Accepted || dialog.name().isEmpty()) {
        return;
    }
    if (Report(AddUser(db_, ToU16(dialog.name()), ToU16(group->text(0))))) {
        Fill(dialog.name());
    }
}

void CDlgUsersGroups::Rename() {
    QTreeWidgetItem* item = tree_->currentItem();
    if (item == nullptr) {
        return;
    }
    CDlgNewGroupUser dialog(this);
    if (dialog.exec() != QDialog::Accepted || dialog.name().isEmpty()) {
        return;
    }
    if (Report(RenameRecord(db_, ToU16(item->text(0)), ToU16(dialog.name())))) {
        Fill(dialog.name());
        emit usersChanged();
    }
}

void CDlgUsersGroups::Delete() {
    QTreeWidgetItem* item = tree_->currentItem();
    if (item == nullptr) {
        return;
    }
    if (IsGroupItem(item) && item->childCount() > 0) {
        ShowMessage(this, 195, QMessageBox::Warning);
        return;
    }
    QMessageBox ask(QMessageBox::Question, ProductName(), Text(198),
                    QMessageBox::Yes | QMessageBox::No, this);
    if (ask.exec() != QMessageBox::Yes) {
        return;
    }
    const QString parent = item->parent() != nullptr ? item->parent()->text(0) : QString();
    if (Report(DeleteRecord(db_, ToU16(item->text(0)), db_.CurrentUserName()))) {
        Fill(parent);
    }
}

void CDlgUsersGroups::MoveByDrop(QTreeWidgetItem* dragged, QTreeWidgetItem* target) {
    if (IsGroupItem(dragged)) {
        return;
    }
    QTreeWidgetItem* group = IsGroupItem(target) ? target : target->parent();
    if (group == dragged->parent()) {
        return;
    }
    const QString user = dragged->text(0);
    if (Report(MoveUser(db_, ToU16(user), ToU16(group->text(0))))) {
        Fill(user);
        emit usersChanged();
    }
}

void CDlgUsersGroups::GroupSetting(EditStatus status, bool filtering) {
    if (Report(status) && filtering) {
        // The tray picture shows whether the running account's group is filtered.
        emit usersChanged();
    }
}

QString CDlgUsersGroups::TestText() const {
    const QTreeWidgetItem* group = SelectedGroupItem();
    if (group == nullptr) {
        return {};
    }
    const std::optional<FastUsersRecord> record = StoredRecord(db_, ToU16(group->text(0)));
    if (record && record->ShowCustomWarning != 0) {
        return FromU16(FieldText(record->CustomWarning));
    }
    return Text(264);
}

void CDlgUsersGroups::TestWarning() {
    if (auto* panel = qobject_cast<CDlgZenCP*>(window()); panel != nullptr) {
        panel->tray().ShowBalloon(TestText(), BalloonKind::Information);
    }
}

void RegisterUsersGroupsPage(PageCatalog& catalog) {
    catalog.Register("CDlgUsersGroups", [](CDBManager& db, QWidget* parent) -> CDlgBase* {
        return new CDlgUsersGroups(db, parent);
    });
}

}  // namespace zen::panel
