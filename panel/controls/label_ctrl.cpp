#include "panel/controls/label_ctrl.h"

#include <QMouseEvent>
#include <QPainter>

#include "panel/fonts.h"

namespace zen::panel {

CLabelCtrl::CLabelCtrl(int controlId, const QString& text, QWidget* parent, Qt::Alignment alignment)
    : ZenControl(controlId, parent), alignment_(alignment) {
    setText(text);
    setCursor(Qt::PointingHandCursor);
    TakeKeyboardFocus(true);
}

void CLabelCtrl::setTextColour(const QColor& colour) {
    colour_ = colour;
    update();
}

void CLabelCtrl::setClickable(bool clickable) {
    clickable_ = clickable;
    setCursor(clickable ? Qt::PointingHandCursor : Qt::ArrowCursor);
    TakeKeyboardFocus(clickable);
}

void CLabelCtrl::setBold(bool bold) {
    bold_ = bold;
    update();
}

void CLabelCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const bool strong = isPressed() || bold_;
    const bool underline = hovered_ && clickable_;
    painter.setFont(Font(strong ? (underline ? PanelFont::LinkBoldUnderlined : PanelFont::LinkBold)
                                : (underline ? PanelFont::LinkUnderlined : PanelFont::Link)));
    painter.setPen(isEnabled() ? colour_ : palette().color(QPalette::Disabled, QPalette::Text));
    const int flags = static_cast<int>(alignment_ | Qt::AlignVCenter) | Qt::TextSingleLine;
    painter.drawText(rect(), flags, text());
    PaintFocusRing(
        painter,
        painter.boundingRect(rect(), flags, text()).adjusted(-2, 0, 2, 0).intersected(rect()));
}

void CLabelCtrl::mouseMoveEvent(QMouseEvent* event) {
    if (forwardMoves_) {
        event->ignore();
    }
}

void CLabelCtrl::enterEvent(QEnterEvent*) {
    hovered_ = true;
    update();
}

void CLabelCtrl::leaveEvent(QEvent*) {
    hovered_ = false;
    update();
}

}  // namespace zen::panel
