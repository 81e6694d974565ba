#include "panel/pages/log_page.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QSaveFile>
#include <QTreeWidget>
#include <algorithm>

#include "common/db/db_manager.h"
#include "common/db/rules_editor.h"
#include "panel/command_button.h"
#include "panel/controls/zen_button_ctrl.h"
#include "panel/dialog_widgets.h"
#include "panel/message_box.h"
#include "panel/page_catalog.h"
#include "panel/report_list.h"
#include "panel/strings.h"
#include "platform/text.h"

namespace zen::panel {
namespace {

bool IsWarnings(LogKind kind) {
    return kind == LogKind::Warnings;
}

DBLogTable& LogOf(CDBManager& db, LogKind kind) {
    return IsWarnings(kind) ? db.Warnings() : db.Activity();
}

uint32_t Options::*SizeField(LogKind kind) {
    return IsWarnings(kind) ? &Options::WarningsSize : &Options::ActivitySize;
}

}  // namespace

QString DurationText(int64_t start, int64_t end) {
    const int64_t seconds = std::max<int64_t>(0, end - start);
    return QString::asprintf("%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                             static_cast<long long>(seconds / 60 % 60),
                             static_cast<long long>(seconds % 60));
}

CDlgLogPage::CDlgLogPage(CDBManager& db, LogKind kind, QWidget* parent)
    : PageFrame(IsWarnings(kind) ? 155 : 156,
                IsWarnings(kind) ? "::/manual/logs.html#1" : "::/manual/logs.html#2",
                IsWarnings(kind) ? 115 : 116, Links::HelpAndBack, parent),
      db_(db),
      kind_(kind) {
    const QRect area(24, 64, 632, 320);
    // Wide enough for a whole time; the other columns share the rest and can be dragged wider.
    list_ = IsWarnings(kind)
                ? NewReportList(this, 1080, area,
                                {{157, 150}, {158, 150}, {159, 80}, {160, 140}, {161, 108}})
                : NewReportList(this, 1080, area, {{164, 150}, {165, 70}, {166, 300}, {167, 108}});
    SortByClicks(list_, 0);
    auto* refresh = NewCommandButton(this, 1104, 154, QRect(24, 398, 100, 30));
    connect(refresh, &CZenButtonCtrl::command, this, &CDlgLogPage::Refresh);
    auto* exportButton = NewCommandButton(this, 1100, 155, QRect(134, 398, 100, 30));
    connect(exportButton, &CZenButtonCtrl::command, this, &CDlgLogPage::Export);
    auto* clear = NewCommandButton(this, 1101, 156, QRect(244, 398, 100, 30));
    connect(clear, &CZenButtonCtrl::command, this, &CDlgLogPage::Clear);
    NewTextLabel(this, 1060, Text(163), QRect(400, 404, 120, 20));
    size_ = new QLineEdit(this);
    SetControlId(size_, 1057);
    size_->setGeometry(526, 400, 130, 24);
    size_->setMaxLength(11);
    connect(size_, &QLineEdit::textEdited, this, &CDlgLogPage::StoreSize);
    FinishInit();
}

void CDlgLogPage::Refresh() {
    size_->setText(QString::number(db_.OptionsCopy().*SizeField(kind_)));
    FillRows();
}

void CDlgLogPage::FillRows() {
    // Filled in the log's order, then sorted once as the list is set to sort.
    list_->setSortingEnabled(false);
    list_->clear();
    DBLogTable& log = LogOf(db_, kind_);
    log.ReopenIfReplaced();
    if (IsWarnings(kind_)) {
        VisitLog<WarningRecord>(log, [&](const WarningRecord& r) {
            auto* row =
                new ReportRow(list_, {FromU16(TimeText(r.time)), FromU16(FieldText(r.program)),
                                      FromU16(FieldText(r.user)), FromU16(FieldText(r.text)),
                                      FromU16(FieldText(r.secondText))});
            row->setSortKey(0, r.time);
        });
    } else {
        VisitLog<ActivityRecord>(log, [&](const ActivityRecord& r) {
            auto* row = new ReportRow(
                list_, {FromU16(TimeText(r.startTime)), DurationText(r.startTime, r.endTime),
                        FromU16(FieldText(r.program)), FromU16(FieldText(r.user))});
            row->setSortKey(0, r.startTime);
            row->setSortKey(1, std::max<int64_t>(0, r.endTime - r.startTime));
        });
    }
    list_->setSortingEnabled(true);
}

bool CDlgLogPage::ExportTo(const QString& file) {
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        return false;
    }
    out.write(FromU16(LogLines(LogOf(db_, kind_), kind_)).toUtf8());
    return out.commit();
}

void CDlgLogPage::Export() {
    QFileDialog dialog(this, Text(162));
    dialog.setObjectName("LogExportDialog");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter("text files (*.txt)");
    dialog.setDefaultSuffix("txt");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString file = dialog.selectedFiles().front();
    if (!ExportTo(file)) {
        ShowMessageText(this, QString("%1: %2").arg(file, "cannot be written"),
                        QMessageBox::Warning);
    }
}

void CDlgLogPage::Clear() {
    LogOf(db_, kind_).Clear();
    FillRows();
}

void CDlgLogPage::StoreSize(const QString& text) {
    bool number = false;
    const qlonglong kilobytes = text.trimmed().toLongLong(&number);
    if (!number || kilobytes < 0 || kilobytes > UINT32_MAX) {
        return;
    }
    const EditStatus status = EditOptions(db_, [&](Options& options) {
        options.*SizeField(kind_) = static_cast<uint32_t>(kilobytes);
        return EditStatus::Done;
    });
    if (status != EditStatus::Done) {
        ShowEditFailure(this, status);
    }
}

void RegisterLogPages(PageCatalog& catalog) {
    catalog.Register("CDlgGeneralWarnings", [](CDBManager& db, QWidget* parent) -> CDlgBase* {
        return new CDlgLogPage(db, LogKind::Warnings, parent);
    });
    catalog.Register("CDlgProgramsActivity", [](CDBManager& db, QWidget* parent) -> CDlgBase* {
        return new CDlgLogPage(db, LogKind::Activity, parent);
    });
}

}  // namespace zen::panel
