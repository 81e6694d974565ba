#include "panel/report_list.h"

#include <QHeaderView>
#include <QTreeWidget>

#include "panel/controls/dlg_base.h"
#include "panel/strings.h"

namespace zen::panel {

QTreeWidget* NewReportList(QWidget* parent, int controlId, QRect geometry,
                           std::initializer_list<ReportColumn> columns) {
    auto* list = new QTreeWidget(parent);
    SetControlId(list, controlId);
    list->setGeometry(geometry);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setIconSize(QSize(14, 14));
    list->setStyleSheet(
        "QTreeView::item { border-right: 1px solid #d0d0d0; "
        "border-bottom: 1px solid #d0d0d0; }");
    QStringList captions;
    for (const ReportColumn& column : columns) {
        captions << Text(column.captionId);
    }
    list->setHeaderLabels(captions);
    int index = 0;
    for (const ReportColumn& column : columns) {
        list->header()->resizeSection(index++, column.width);
    }
    list->header()->setStretchLastSection(false);
    return list;
}

}  // namespace zen::panel
