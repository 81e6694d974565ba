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
    list->header()->setSectionResizeMode(QHeaderView::Interactive);
    return list;
}

void SortByClicks(QTreeWidget* list, int newestFirstColumn) {
    for (int column = 0; column < list->columnCount(); ++column) {
        list->headerItem()->setData(
            column, Qt::InitialSortOrderRole,
            static_cast<int>(column == newestFirstColumn ? Qt::DescendingOrder
                                                         : Qt::AscendingOrder));
    }
    // No column chosen yet: the rows keep the order they are added in.
    list->header()->setSortIndicator(-1, Qt::AscendingOrder);
    list->setSortingEnabled(true);
}

namespace {

constexpr int kSortKeyRole = Qt::UserRole + 10;

}  // namespace

ReportRow::ReportRow(QTreeWidget* list, const QStringList& texts) : QTreeWidgetItem(list, texts) {
    for (int column = 0; column < texts.size(); ++column) {
        setToolTip(column, texts.at(column));
    }
}

void ReportRow::setSortKey(int column, qint64 key) {
    setData(column, kSortKeyRole, key);
}

bool ReportRow::operator<(const QTreeWidgetItem& other) const {
    const int column = treeWidget() != nullptr ? treeWidget()->sortColumn() : 0;
    const QVariant mine = data(column, kSortKeyRole);
    const QVariant theirs = other.data(column, kSortKeyRole);
    if (mine.isValid() && theirs.isValid()) {
        return mine.toLongLong() < theirs.toLongLong();
    }
    return text(column).compare(other.text(column), Qt::CaseInsensitive) < 0;
}

}  // namespace zen::panel
