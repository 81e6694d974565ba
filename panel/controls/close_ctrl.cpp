#include "panel/controls/close_ctrl.h"

#include <QPainter>

#include "panel/pictures.h"

namespace zen::panel {

CCloseCtrl::CCloseCtrl(QWidget* parent) : ZenControl(kCloseId, parent) {
    resize(kSide, kSide);
    setCursor(Qt::PointingHandCursor);
}

void CCloseCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Paint(painter, rect(), isPressed() ? Picture::ClosePressed : Picture::CloseNormal);
}

void CCloseCtrl::Clicked() {
    emit command(kIdCancel);
}

}  // namespace zen::panel
