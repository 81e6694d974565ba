#pragma once

#include <QRect>
#include <initializer_list>

class QTreeWidget;
class QWidget;

namespace zen::panel {

struct ReportColumn {
    int captionId;
    int width;
};

// A report-style list of the panel: full-row selection, grid lines, 14 x 14 icons, the
// columns by caption string and width, and no sorting (rows keep the order they are added in).
QTreeWidget* NewReportList(QWidget* parent, int controlId, QRect geometry,
                           std::initializer_list<ReportColumn> columns);

}  // namespace zen::panel
