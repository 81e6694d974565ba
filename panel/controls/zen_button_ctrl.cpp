#include "panel/controls/zen_button_ctrl.h"

#include <QEvent>
#include <QPainter>

#include "panel/fonts.h"

namespace zen::panel {

CZenButtonCtrl::CZenButtonCtrl(int controlId, const QString& caption, ButtonPictures pictures,
                               QWidget* parent)
    : ZenControl(controlId, parent), pictures_(pictures) {
    setText(caption);
    setCursor(Qt::PointingHandCursor);
    TakeKeyboardFocus(true);
}

void CZenButtonCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const bool showDisabled = !isEnabled() && pictures_.disabled.has_value();
    Paint(painter, rect(),
          showDisabled  ? *pictures_.disabled
          : isPressed() ? pictures_.pressed
                        : pictures_.normal);
    painter.setFont(Font(PanelFont::ButtonCaption));
    painter.setPen(showDisabled ? colours::kDisabledCaption : QColor(Qt::white));
    QRect area = rect().translated(-1, -1);
    if (isPressed()) {
        area.translate(3, 1);
    }
    painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, text());
    PaintFocusRing(painter, rect().adjusted(4, 4, -4, -4));
}

void CZenButtonCtrl::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        update();
    }
    ZenControl::changeEvent(event);
}

}  // namespace zen::panel
