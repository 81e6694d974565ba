#pragma once

#include "common/db/log_records.h"
#include "panel/pages/page_frame.h"

class QLineEdit;
class QTreeWidget;

namespace zen {
class CDBManager;
}

namespace zen::panel {

class PageCatalog;

// A log of the "Warnings && Logs" section: the "Warnings Log" or the "Programs Activity".
// Shows the log oldest first (a click on a column's caption sorts by it: newest first by the
// time column), exports it oldest first as text lines (as the daily report carries them),
// clears it, and keeps its size limit: every change of "Log size (KB):" that reads as a
// number of kilobytes is stored at once; anything else (a negative number) changes nothing.
class CDlgLogPage : public PageFrame {
    Q_OBJECT
public:
    CDlgLogPage(CDBManager& db, LogKind kind, QWidget* parent);
    void Refresh() override;

    // Writes the log's text to `file`; false when it cannot be written.
    bool ExportTo(const QString& file);
    void Export();
    void Clear();

    QTreeWidget* list() const { return list_; }
    QLineEdit* sizeEdit() const { return size_; }

private:
    void FillRows();
    void StoreSize(const QString& text);

    CDBManager& db_;
    LogKind kind_;
    QTreeWidget* list_;
    QLineEdit* size_;
};

// "h:mm:ss" between two times; a run that ends before it starts lasted 0:00:00.
QString DurationText(int64_t start, int64_t end);

void RegisterLogPages(PageCatalog& catalog);

}  // namespace zen::panel
