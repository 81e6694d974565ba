#include "panel/add_program_dialog.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QTreeWidget>

#include "common/db/db_manager.h"
#include "panel/command_button.h"
#include "panel/controls/title_ctrl.h"
#include "panel/controls/zen_button_ctrl.h"
#include "panel/dialog_widgets.h"
#include "panel/message_box.h"
#include "panel/program_icons.h"
#include "panel/report_list.h"
#include "panel/running_programs.h"
#include "panel/strings.h"
#include "platform/text.h"

namespace zen::panel {
namespace {

constexpr int kAddTemplate = 192;
constexpr int kMemoryTemplate = 205;

void AddTitle(CDlgBase* dialog, int titleId) {
    dialog->setWindowTitle(ProductName());
    dialog->setMovable(true);
    auto* title = new CTitleCtrl(1010, Text(titleId), dialog);
    title->setGeometry(16, 10, dialog->width() - 60, 36);
}

// The groups (records without a parent) in table order.
QStringList GroupNames(CDBManager& db) {
    QStringList names;
    db.Users().WithRecords([&](const UsersTable::Set& records) {
        for (const FastUsersRecord& record : records) {
            if (record.ParentID == 0) {
                names << FromU16(FieldText(record.name));
            }
        }
    });
    return names;
}

}  // namespace

CDlgAddProgram::CDlgAddProgram(CDBManager& db, QWidget* parent)
    : CDlgBase(kAddTemplate, {}, Kind::Window, parent) {
    setObjectName("CDlgAddProgram");
    SetBackground(Picture::PageBackground, QSize(480, 230));
    AddTitle(this, 248);
    NewTextLabel(this, 1011, Text(194), QRect(18, 60, 80, 20));
    groups_ = new QComboBox(this);
    SetControlId(groups_, 1077);
    groups_->setGeometry(100, 58, 200, 24);
    groups_->addItems(GroupNames(db));
    const int current = groups_->findText(FromU16(db.CurrentGroupName()));
    groups_->setCurrentIndex(current >= 0 ? current : 0);
    path_ = new QLineEdit(this);
    SetControlId(path_, 1078);
    path_->setGeometry(18, 100, 444, 24);
    path_->setMaxLength(259);
    auto* disk = NewCommandButton(this, 1107, 192, QRect(18, 140, 130, 30));
    connect(disk, &CZenButtonCtrl::command, this, &CDlgAddProgram::FromDisk);
    auto* memory = NewCommandButton(this, 1103, 200, QRect(158, 140, 130, 30));
    connect(memory, &CZenButtonCtrl::command, this, &CDlgAddProgram::FromMemory);
    auto* add = NewCommandButton(this, 1106, 190, QRect(332, 186, 130, 30));
    connect(add, &CZenButtonCtrl::command, this, &CDlgAddProgram::accept);
    SetDefaultButton(add);
    AddCloseButton();
    FinishInit();
}

QString CDlgAddProgram::group() const {
    return groups_->currentText();
}

QString CDlgAddProgram::path() const {
    return path_->text();
}

void CDlgAddProgram::FromDisk() {
    // Programs on Linux carry no extension; the filter offers executables by permission.
    QFileDialog dialog(this, Text(248), QFileInfo(path_->text()).path());
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setFilter(QDir::Files | QDir::Executable | QDir::AllDirs | QDir::NoDotAndDotDot);
    dialog.setObjectName("AddProgramFileDialog");
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        path_->setText(dialog.selectedFiles().front());
    }
}

void CDlgAddProgram::FromMemory() {
    CDlgProgramFromMemory memory(this);
    if (memory.exec() == QDialog::Accepted) {
        path_->setText(memory.chosenPath());
    }
}

void CDlgAddProgram::accept() {
    if (!QFileInfo(path_->text()).isFile()) {
        ShowMessage(this, 189, QMessageBox::Warning);
        return;
    }
    done(Accepted);
}

CDlgProgramFromMemory::CDlgProgramFromMemory(QWidget* parent)
    : CDlgBase(kMemoryTemplate, {}, Kind::Window, parent) {
    setObjectName("CDlgProgramFromMemory");
    SetBackground(Picture::PageBackground, QSize(520, 400));
    AddTitle(this, 208);
    list_ = NewReportList(this, 1087, QRect(18, 56, 484, 280), {{158, 350}, {159, 100}});
    connect(list_, &QTreeWidget::itemDoubleClicked, this, &CDlgProgramFromMemory::accept);
    auto* refresh = NewCommandButton(this, 1104, 154, QRect(18, 352, 110, 30));
    connect(refresh, &CZenButtonCtrl::command, this, &CDlgProgramFromMemory::Fill);
    auto* add = NewCommandButton(this, 1106, 201, QRect(392, 352, 110, 30));
    connect(add, &CZenButtonCtrl::command, this, &CDlgProgramFromMemory::accept);
    SetDefaultButton(add);
    AddCloseButton();
    FinishInit();
    Fill();
}

void CDlgProgramFromMemory::Fill() {
    list_->clear();
    for (const RunningProgram& program : RunningPrograms()) {
        const QString path = QString::fromStdString(program.path);
        auto* row = new QTreeWidgetItem(list_, {path, QString::fromStdString(program.owner)});
        row->setIcon(0, ProgramIcon(path));
    }
}

void CDlgProgramFromMemory::accept() {
    const QTreeWidgetItem* row = list_->currentItem();
    if (row == nullptr) {
        return;
    }
    chosen_ = row->text(0);
    done(Accepted);
}

}  // namespace zen::panel
