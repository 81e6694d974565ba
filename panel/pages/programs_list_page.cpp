#include "panel/pages/programs_list_page.h"

#include <QTreeWidget>
#include <algorithm>
#include <filesystem>

#include "common/db/checksum.h"
#include "common/db/db_manager.h"
#include "common/db/protected_programs.h"
#include "common/db/rules_editor.h"
#include "panel/add_program_dialog.h"
#include "panel/command_button.h"
#include "panel/controls/zen_button_ctrl.h"
#include "panel/dialog_widgets.h"
#include "panel/message_box.h"
#include "panel/page_catalog.h"
#include "panel/program_icons.h"
#include "panel/report_list.h"
#include "panel/strings.h"
#include "platform/text.h"

namespace zen::panel {
namespace {

constexpr int kTemplate = 189;

QString ChecksumText(uint32_t checksum) {
    return QString::asprintf("0x%.08X", checksum);
}

// One of the programs the set-up lists as exceptions because the desktop stands on them.
bool IsProtectedProgram(const QString& path) {
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(path.toStdString(), error);
    if (error) {
        return false;
    }
    const std::vector<std::filesystem::path> programs = ProtectedPrograms();
    return std::find(programs.begin(), programs.end(), real) != programs.end();
}

}  // namespace

CDlgProgramsList::CDlgProgramsList(CDBManager& db, uint16_t mode, QWidget* parent)
    : PageFrame(
          kTemplate,
          mode == kTrusted ? "::/manual/sch_internet.html#3" : "::/manual/sch_programs.html#3",
          mode == kTrusted ? 246 : 247, Links::HelpAndBack, parent),
      db_(db),
      mode_(mode) {
    list_ = NewReportList(this, 1080, QRect(24, 64, 632, 330), {{11, 400}, {159, 110}, {12, 100}});
    auto* add = NewCommandButton(this, 1103, 193, QRect(24, 410, 110, 30));
    connect(add, &CZenButtonCtrl::command, this, &CDlgProgramsList::AddNew);
    auto* remove = NewCommandButton(this, 1099, 171, QRect(146, 410, 110, 30));
    connect(remove, &CZenButtonCtrl::command, this, &CDlgProgramsList::DeleteSelected);
    FinishInit();
}

void CDlgProgramsList::Refresh() {
    list_->clear();
    db_.Customs().ReloadIfChanged();
    db_.Customs().WithRecords([&](const CustomsTable::Set& records) {
        for (const FastCustomRecord& entry : records) {
            if (entry.Mode != mode_) {
                continue;
            }
            const QString path = FromU16(FieldText(entry.szVal));
            auto* row = new QTreeWidgetItem(
                list_, {path, FromU16(FieldText(entry.UserID)), ChecksumText(entry.dwVal)});
            row->setIcon(0, ProgramIcon(path));
        }
    });
}

bool CDlgProgramsList::Add(const QString& group, const QString& path) {
    const uint32_t checksum = CheckSum(path.toStdString());
    const EditStatus status = AddProgramEntry(db_, mode_, ToU16(group), ToU16(path), checksum);
    Refresh();
    if (status != EditStatus::Done) {
        ShowEditFailure(this, status);
        return false;
    }
    return true;
}

void CDlgProgramsList::AddNew() {
    CDlgAddProgram dialog(db_, this);
    if (dialog.exec() == QDialog::Accepted) {
        Add(dialog.group(), dialog.path());
    }
}

void CDlgProgramsList::DeleteSelected() {
    const QTreeWidgetItem* row = list_->currentItem();
    if (row == nullptr) {
        return;
    }
    bool parsed = false;
    const uint32_t checksum = row->text(2).toUInt(&parsed, 16);
    if (!parsed) {
        return;
    }
    if (mode_ == kTrusted && IsProtectedProgram(row->text(0))) {
        QMessageBox ask(QMessageBox::Question, ProductName(),
                        tr("%1 keeps the desktop's own services online (the session bus, the "
                           "service manager). Without this exception they lose the Internet "
                           "outside the allowed times. Delete it anyway?")
                            .arg(row->text(0)),
                        QMessageBox::Yes | QMessageBox::No, this);
        ask.setDefaultButton(QMessageBox::No);
        if (ask.exec() != QMessageBox::Yes) {
            return;
        }
    }
    const EditStatus status =
        RemoveProgramEntries(db_, mode_, ToU16(row->text(1)), ToU16(row->text(0)), checksum);
    // No entry left to remove (another panel took it) only shows the list as the table is.
    Refresh();
    if (status != EditStatus::Done && status != EditStatus::NoSuchEntry) {
        ShowEditFailure(this, status);
    }
}

void RegisterProgramsListPages(PageCatalog& catalog) {
    catalog.Register("CDlgTrustedPrograms", [](CDBManager& db, QWidget* parent) -> CDlgBase* {
        return new CDlgProgramsList(db, CDlgProgramsList::kTrusted, parent);
    });
    catalog.Register("CDlgControlledPrograms", [](CDBManager& db, QWidget* parent) -> CDlgBase* {
        return new CDlgProgramsList(db, CDlgProgramsList::kControlled, parent);
    });
}

}  // namespace zen::panel
