#pragma once

#include <QWidget>
#include <optional>

#include "common/db/records.h"

namespace zen::panel {

// The weekly grid of quarter hours on every timetable page: it paints, bit for bit, the
// 91-byte timetable of a group's category (row 0 Sunday, slot s = hour * 4 + quarter, a set
// bit allowed). A mouse stroke toggles whole groups of quarters (15 min, 30 min or 1 hour),
// each newly entered group by its own state; the page saves at the end of every stroke.
class CTimetableCtl : public QWidget {
    Q_OBJECT
public:
    enum SelectionType { Quarter = 0, HalfHour = 1, Hour = 2 };
    enum TimeFormat { Hours12 = 0, Hours24 = 1 };
    struct Cell {
        int day;
        int hour;
        int quarter;
    };
    static constexpr int kMargin = 30;

    CTimetableCtl(int controlId, QWidget* parent);

    const Timetable& grid() const { return grid_; }
    // The grid as last loaded: what a stroke's changes are taken against.
    const Timetable& shown() const { return shown_; }
    void setGrid(const Timetable& grid);
    // The stroke's changes are stored: later strokes are taken against the grid as it is.
    void markSaved() { shown_ = grid_; }
    int selectionType() const { return selectionType_; }
    void setSelectionType(int type);
    void setTimeFormat(int format);

    // "Permit All" / "Forbid All": every quarter of the week, then the stroke ends. A disabled
    // grid takes nothing.
    void setAll(bool permitted);

    // The geometry of the current client size.
    int cellWidth() const;
    int rowHeight() const;
    QRect cellRect(int day, int slot) const;
    // The cell under `point`; grid lines (one pixel around each cell) hit nothing.
    std::optional<Cell> hitTest(QPoint point) const;
    // "Monday 09:00 - 10:00": the group of quarters under `point`, empty over no cell.
    QString toolTipAt(QPoint point) const;

signals:
    // A stroke (or Permit/Forbid All) changed the grid and is over: time to save.
    void strokeFinished();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool Allowed(int day, int slot) const;
    void SetAllowed(int day, int slot, bool allowed);
    // The first quarter and the count of the group that `quarter` belongs to.
    std::pair<int, int> GroupOf(int quarter) const;
    bool InLastGroup(const Cell& cell) const;
    void PaintAt(QPoint point);
    QString TimeText(int minutes) const;

    Timetable grid_{};
    Timetable shown_{};
    int selectionType_ = Hour;
    int timeFormat_ = Hours24;
    std::optional<Cell> last_;
    std::optional<Cell> tipCell_;
    bool painting_ = false;
};

}  // namespace zen::panel
