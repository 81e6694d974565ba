#include "panel/controls/zen_check_box.h"

#include <QMouseEvent>
#include <QPainter>

#include "panel/fonts.h"
#include "panel/pictures.h"

namespace zen::panel {

CZenCheckBox::CZenCheckBox(int controlId, const QString& caption, QWidget* parent)
    : ZenControl(controlId, parent) {
    setText(caption);
    TakeKeyboardFocus(true);
}

void CZenCheckBox::setChecked(bool checked) {
    if (checked == checked_) {
        return;
    }
    checked_ = checked;
    update();
    Notify();
}

void CZenCheckBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int side = height();
    const QRectF square = QRectF(0, 0, side, side).adjusted(1.5, 1.5, -1.5, -1.5);
    const QColor ink = isEnabled() ? colours::kLabel : colours::kDisabledCaption;
    painter.setPen(QPen(ink, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(square);
    if (checked_) {
        const QRectF mark = square.adjusted(side * 0.2, side * 0.2, -side * 0.2, -side * 0.2);
        painter.setPen(QPen(ink, qMax(1.5, side / 8.0), Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(mark.left(), mark.center().y()),
                         QPointF(mark.left() + mark.width() * 0.4, mark.bottom()));
        painter.drawLine(QPointF(mark.left() + mark.width() * 0.4, mark.bottom()), mark.topRight());
    }
    painter.setFont(Font(PanelFont::Regular));
    const QRect caption(side + 3, 0, width() - side - 3, height());
    painter.drawText(caption, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
    PaintFocusRing(painter, painter.boundingRect(caption, Qt::AlignLeft | Qt::AlignVCenter, text())
                                .adjusted(-2, 0, 2, 0)
                                .intersected(rect()));
}

void CZenCheckBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        setChecked(!checked_);
    }
}

void CZenCheckBox::Clicked() {
    setChecked(!checked_);
}

}  // namespace zen::panel
