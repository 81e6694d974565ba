#include "panel/controls/close_ctrl.h"

#include <QMouseEvent>
#include <QPainter>

#include "panel/pictures.h"

namespace zen::panel {

CCloseCtrl::CCloseCtrl(QWidget* parent) : ZenControl(kCloseId, parent) {
    resize(kSide, kSide);
    setCursor(Qt::PointingHandCursor);
}

void CCloseCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Paint(painter, rect(), pressed_ ? Picture::ClosePressed : Picture::CloseNormal);
}

void CCloseCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressed_ = true;
        update();
    }
}

void CCloseCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const bool wasPressed = pressed_;
    pressed_ = false;
    update();
    if (wasPressed && rect().contains(event->position().toPoint())) {
        emit command(kIdCancel);
    }
}

}  // namespace zen::panel
