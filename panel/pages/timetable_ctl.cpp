#include "panel/pages/timetable_ctl.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include "panel/controls/dlg_base.h"
#include "panel/fonts.h"
#include "panel/pictures.h"
#include "panel/strings.h"

namespace zen::panel {
namespace {

constexpr int kHours = 24;
constexpr int kQuarters = 4;
constexpr int kFirstDayNameId = 124;  // "SUN" .. "SAT"
constexpr int kFirstDayId = 131;      // "Sunday" .. "Saturday"
constexpr int kAmId = 122;
constexpr int kPmId = 123;

const QColor kEvenHour(255, 255, 191);
const QColor kOddHour(214, 168, 73);
const QColor kForbidden(200, 0, 0);
const QColor kDisabledFrame(128, 128, 128);

QFont ArialPixels(int pixels) {
    QFont font(InstalledFace("Arial"));
    font.setPixelSize(pixels);
    return font;
}

QString TwoDigits(int value) {
    return QString("%1").arg(value, 2, 10, QChar('0'));
}

// The hour on a 12-hour clock, as "%I" writes it (01..12).
int Hour12(int hour) {
    const int h = hour % 12;
    return h == 0 ? 12 : h;
}

}  // namespace

CTimetableCtl::CTimetableCtl(int controlId, QWidget* parent) : QWidget(parent) {
    SetControlId(this, controlId);
    setMouseTracking(true);
}

void CTimetableCtl::setGrid(const Timetable& grid) {
    grid_ = grid;
    shown_ = grid;
    update();
}

void CTimetableCtl::setSelectionType(int type) {
    selectionType_ = std::clamp(type, static_cast<int>(Quarter), static_cast<int>(Hour));
    update();
}

void CTimetableCtl::setTimeFormat(int format) {
    timeFormat_ = format == Hours12 ? Hours12 : Hours24;
    update();
}

void CTimetableCtl::setAll(bool permitted) {
    if (!isEnabled()) {
        return;
    }
    for (int day = 0; day < Timetable::kDays; ++day) {
        for (int slot = 0; slot < Timetable::kSlots; ++slot) {
            SetAllowed(day, slot, permitted);
        }
        // Every quarter counts as changed, so even one that another process changed since
        // the grid was loaded ends up as the button says.
        for (int byte = 0; byte < Timetable::kSlots / 8; ++byte) {
            shown_.rows[day][byte] = static_cast<uint8_t>(~grid_.rows[day][byte]);
        }
    }
    update();
    emit strokeFinished();
}

int CTimetableCtl::cellWidth() const {
    // Rounded down: rounding up would push the first hours out over the day names, and past
    // the left edge, whenever the share's fraction is half a pixel or more.
    return std::max(1, (width() - kMargin) / Timetable::kSlots);
}

int CTimetableCtl::rowHeight() const {
    return (height() - kMargin) / Timetable::kDays;
}

QRect CTimetableCtl::cellRect(int day, int slot) const {
    const int w = cellWidth();
    const int h = rowHeight();
    const int left = width() - w * (Timetable::kSlots - slot);
    const int top = height() - h * (Timetable::kDays - day);
    return QRect(left, top, w, h);
}

std::optional<CTimetableCtl::Cell> CTimetableCtl::hitTest(QPoint point) const {
    for (int day = 0; day < Timetable::kDays; ++day) {
        for (int slot = 0; slot < Timetable::kSlots; ++slot) {
            if (cellRect(day, slot).adjusted(1, 1, -1, -1).contains(point)) {
                return Cell{day, slot / kQuarters, slot % kQuarters};
            }
        }
    }
    return std::nullopt;
}

bool CTimetableCtl::Allowed(int day, int slot) const {
    return (grid_.rows[day][slot / 8] >> (slot % 8) & 1u) != 0;
}

void CTimetableCtl::SetAllowed(int day, int slot, bool allowed) {
    uint8_t& byte = grid_.rows[day][slot / 8];
    const auto bit = static_cast<uint8_t>(1u << (slot % 8));
    byte = allowed ? static_cast<uint8_t>(byte | bit) : static_cast<uint8_t>(byte & ~bit);
}

std::pair<int, int> CTimetableCtl::GroupOf(int quarter) const {
    switch (selectionType_) {
        case Quarter:
            return {quarter, 1};
        case HalfHour:
            return {quarter / 2 * 2, 2};
        default:
            return {0, kQuarters};
    }
}

bool CTimetableCtl::InLastGroup(const Cell& cell) const {
    return last_ && last_->day == cell.day && last_->hour == cell.hour &&
           GroupOf(last_->quarter).first == GroupOf(cell.quarter).first;
}

void CTimetableCtl::PaintAt(QPoint point) {
    const std::optional<Cell> cell = hitTest(point);
    if (!cell || InLastGroup(*cell)) {
        return;
    }
    const int hourStart = cell->hour * kQuarters;
    const bool allowed = !Allowed(cell->day, hourStart + cell->quarter);
    const auto [first, count] = GroupOf(cell->quarter);
    QRect changed;
    for (int quarter = first; quarter < first + count; ++quarter) {
        SetAllowed(cell->day, hourStart + quarter, allowed);
        changed |= cellRect(cell->day, hourStart + quarter);
    }
    update(changed);
    last_ = cell;
}

void CTimetableCtl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    painting_ = true;
    PaintAt(event->position().toPoint());
}

void CTimetableCtl::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    const std::optional<Cell> cell = hitTest(point);
    setCursor(cell ? Qt::PointingHandCursor : Qt::ArrowCursor);
    const bool sameTip = cell && tipCell_ && cell->day == tipCell_->day &&
                         cell->hour == tipCell_->hour &&
                         GroupOf(cell->quarter).first == GroupOf(tipCell_->quarter).first;
    if (!sameTip && QToolTip::isVisible()) {
        tipCell_ = cell;
        QToolTip::showText(event->globalPosition().toPoint(), toolTipAt(point), this);
    }
    if (painting_) {
        PaintAt(point);
    }
}

void CTimetableCtl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !painting_) {
        return;
    }
    painting_ = false;
    last_.reset();
    emit strokeFinished();
}

bool CTimetableCtl::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        tipCell_ = hitTest(help->pos());
        const QString text = toolTipAt(help->pos());
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), text, this);
        }
        return true;
    }
    return QWidget::event(event);
}

QString CTimetableCtl::TimeText(int minutes) const {
    const int hour = minutes / 60 % kHours;
    const QString clock = QString("%1:%2").arg(
        TwoDigits(timeFormat_ == Hours24 ? hour : Hour12(hour)), TwoDigits(minutes % 60));
    if (timeFormat_ == Hours24) {
        return clock;
    }
    return clock + ' ' + Text(hour < 12 ? kAmId : kPmId);
}

QString CTimetableCtl::toolTipAt(QPoint point) const {
    const std::optional<Cell> cell = hitTest(point);
    if (!cell) {
        return {};
    }
    const auto [first, count] = GroupOf(cell->quarter);
    const int start = cell->hour * 60 + first * 15;
    return Text(kFirstDayId + cell->day) + ' ' + TimeText(start) + " - " +
           TimeText(start + count * 15);
}

void CTimetableCtl::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const bool enabled = isEnabled();
    // The page's label colour over its dark picture; grey as the frames while disabled.
    painter.setPen(enabled ? colours::kLabel : kDisabledFrame);
    const int w = cellWidth();
    const int h = rowHeight();
    const int gridLeft = width() - w * Timetable::kSlots;
    const int gridTop = height() - h * Timetable::kDays;

    painter.setFont(ArialPixels(12));
    for (int day = 0; day < Timetable::kDays; ++day) {
        const QRect row = cellRect(day, 0);
        painter.drawText(QRect(0, row.top(), gridLeft, h), Qt::AlignCenter | Qt::TextSingleLine,
                         Text(kFirstDayNameId + day));
    }
    painter.setFont(ArialPixels(10));
    for (int hour = 0; hour < kHours; ++hour) {
        const QRect over(cellRect(0, hour * kQuarters).left(), 3, w * kQuarters, gridTop - 3);
        if (timeFormat_ == Hours24) {
            painter.drawText(over, Qt::AlignCenter | Qt::TextSingleLine, TwoDigits(hour));
        } else {
            painter.drawText(over, Qt::AlignHCenter | Qt::AlignTop,
                             TwoDigits(Hour12(hour)) + '\n' + Text(hour < 12 ? kAmId : kPmId));
        }
    }

    for (int day = 0; day < Timetable::kDays; ++day) {
        for (int slot = 0; slot < Timetable::kSlots; ++slot) {
            const QRect cell = cellRect(day, slot).adjusted(1, 1, 0, 0);
            if (!event->rect().intersects(cell)) {
                continue;
            }
            if (!enabled) {
                painter.setPen(kDisabledFrame);
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(cell.adjusted(0, 0, -1, -1));
            } else if (Allowed(day, slot)) {
                painter.fillRect(cell, (slot / kQuarters) % 2 == 0 ? kEvenHour : kOddHour);
            } else {
                painter.fillRect(cell, kForbidden);
            }
        }
    }
}

}  // namespace zen::panel
