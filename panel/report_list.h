#pragma once

#include <QRect>
#include <QTreeWidgetItem>
#include <initializer_list>

class QTreeWidget;
class QWidget;

namespace zen::panel {

struct ReportColumn {
    int captionId;
    int width;
};

// A report-style list of the panel: full-row selection, grid lines, 14 x 14 icons, the
// columns by caption string and width (each can be dragged wider), and no sorting (rows keep
// the order they are added in) until SortByClicks.
QTreeWidget* NewReportList(QWidget* parent, int controlId, QRect geometry,
                           std::initializer_list<ReportColumn> columns);

// Lets a click on a column's caption sort the rows by it (a second click turns the order
// round): a first click sorts ascending, but on `newestFirstColumn` descending (newest first
// for a time column). Until the first click the rows keep the order they are added in.
void SortByClicks(QTreeWidget* list, int newestFirstColumn);

// A row of a report list: each cell shows its whole text as a tool tip (a narrow column cuts
// it) and sorts by its key when it has one (times, durations), else by its text.
class ReportRow : public QTreeWidgetItem {
public:
    ReportRow(QTreeWidget* list, const QStringList& texts);
    void setSortKey(int column, qint64 key);
    bool operator<(const QTreeWidgetItem& other) const override;
};

}  // namespace zen::panel
