#include "panel/controls/zen_button_ctrl.h"

#include <QMouseEvent>
#include <QPainter>

#include "panel/fonts.h"

namespace zen::panel {

CZenButtonCtrl::CZenButtonCtrl(int controlId, const QString& caption, ButtonPictures pictures,
                               QWidget* parent)
    : ZenControl(controlId, parent), caption_(caption), pictures_(pictures) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::ClickFocus);
}

void CZenButtonCtrl::setCaption(const QString& caption) {
    caption_ = caption;
    update();
}

void CZenButtonCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const bool showDisabled = !isEnabled() && pictures_.disabled.has_value();
    Paint(painter, rect(),
          showDisabled ? *pictures_.disabled
          : pressed_   ? pictures_.pressed
                       : pictures_.normal);
    painter.setFont(Font(PanelFont::ButtonCaption));
    painter.setPen(showDisabled ? colours::kDisabledCaption : QColor(Qt::white));
    QRect text = rect().translated(-1, -1);
    if (pressed_) {
        text.translate(3, 1);
    }
    painter.drawText(text, Qt::AlignCenter | Qt::TextSingleLine, caption_);
}

void CZenButtonCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    setFocus(Qt::MouseFocusReason);
    pressed_ = true;
    update();
}

void CZenButtonCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const bool wasPressed = pressed_;
    pressed_ = false;
    update();
    if (wasPressed && rect().contains(event->position().toPoint())) {
        Notify();
    }
}

void CZenButtonCtrl::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        pressed_ = false;
        update();
    }
    ZenControl::changeEvent(event);
}

}  // namespace zen::panel
