#include "panel/pages/import_export_page.h"

#include <QFileDialog>
#include <cerrno>
#include <cstring>

#include "common/settings/settings_transfer.h"
#include "panel/command_button.h"
#include "panel/controls/zen_button_ctrl.h"
#include "panel/dialog_widgets.h"
#include "panel/message_box.h"
#include "panel/page_catalog.h"
#include "panel/strings.h"

namespace zen::panel {
namespace {

constexpr int kTemplate = 158;
constexpr char kDefaultName[] = "qwtc.dat";

QString ChooseFile(QWidget* parent, QFileDialog::AcceptMode mode, const char* filter) {
    QFileDialog dialog(parent, ProductName());
    dialog.setObjectName(mode == QFileDialog::AcceptSave ? "SettingsExportDialog"
                                                         : "SettingsImportDialog");
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile
                                                       : QFileDialog::ExistingFile);
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix("dat");
    dialog.selectFile(kDefaultName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().front();
}

}  // namespace

CDlgImportExport::CDlgImportExport(CDBManager& db, QWidget* parent)
    : PageFrame(kTemplate, "::/manual/settings.html#3", 119, Links::HelpAndBack, parent), db_(db) {
    auto* exportButton = NewCommandButton(this, 1102, 155, QRect(40, 80, 120, 30));
    connect(exportButton, &CZenButtonCtrl::command, this, &CDlgImportExport::Export);
    NewTextLabel(this, 1117, Text(227), QRect(40, 120, 600, 54));
    auto* importButton = NewCommandButton(this, 1101, 183, QRect(40, 210, 120, 30));
    connect(importButton, &CZenButtonCtrl::command, this, &CDlgImportExport::Import);
    NewTextLabel(this, 1118, Text(228), QRect(40, 250, 600, 54));
    FinishInit();
}

bool CDlgImportExport::ExportTo(const QString& file) {
    if (ExportSettings(db_, file.toStdString())) {
        return true;
    }
    // Silence here would let a parent uninstall believing the settings were kept.
    ShowMessageText(this, QString("%1: %2").arg(file, QString::fromUtf8(std::strerror(errno))),
                    QMessageBox::Critical);
    return false;
}

bool CDlgImportExport::ImportFrom(const QString& file) {
    const ImportStatus status = ImportSettings(db_, file.toStdString());
    if (status == ImportStatus::Done) {
        emit usersChanged();
        ShowMessageText(this, tr("Settings imported."), QMessageBox::Information);
        return true;
    }
    const std::string_view text = ImportStatusText(status);
    ShowMessageText(this, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                    QMessageBox::Critical);
    return false;
}

void CDlgImportExport::Export() {
    const QString file = ChooseFile(this, QFileDialog::AcceptSave, "data files (*.dat)");
    if (!file.isEmpty()) {
        ExportTo(file);
    }
}

void CDlgImportExport::Import() {
    const QString file = ChooseFile(this, QFileDialog::AcceptOpen, "Data files (*.dat)");
    if (!file.isEmpty()) {
        ImportFrom(file);
    }
}

void RegisterImportExportPage(PageCatalog& catalog) {
    catalog.Register("CDlgImportExport", [](CDBManager& db, QWidget* parent) -> CDlgBase* {
        return new CDlgImportExport(db, parent);
    });
}

}  // namespace zen::panel
