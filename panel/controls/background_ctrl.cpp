#include "panel/controls/background_ctrl.h"

#include <QPainter>

namespace zen::panel {

CBackgroundCtrl::CBackgroundCtrl(Picture picture, QSize size, QWidget* parent)
    : ZenControl(kBackgroundId, parent), picture_(picture) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(QRect(QPoint(0, 0), size));
    lower();
}

void CBackgroundCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Paint(painter, rect(), picture_);
}

}  // namespace zen::panel
