#include "panel/controls/zen_tab_ctrl.h"

#include <QBitmap>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>

#include "panel/fonts.h"
#include "panel/pictures.h"

namespace zen::panel {
namespace {

// The region the tab picture covers, built from its pixels.
const QRegion& TabShape() {
    static const QRegion shape = [] {
        const QImage picture =
            Render(Picture::TabOther, QSize(CZenTabCtrl::kTabWidth, CZenTabCtrl::kTabHeight));
        return QRegion(QBitmap::fromImage(picture.createAlphaMask()));
    }();
    return shape;
}

}  // namespace

CZenTabCtrl::CZenTabCtrl(int controlId, QWidget* parent) : ZenControl(controlId, parent) {
    setMouseTracking(true);
    TakeKeyboardFocus(true);
}

void CZenTabCtrl::setTabs(const QStringList& captions) {
    captions_ = captions;
    chosen_ = -1;
    if (!captions_.isEmpty()) {
        choose(0);
    }
    update();
}

QRect CZenTabCtrl::tabRect(int index) const {
    return QRect(kGap + index * (kTabWidth + kGap), height() - kTabHeight, kTabWidth, kTabHeight);
}

int CZenTabCtrl::tabAt(QPoint point) const {
    // The chosen tab lies over its neighbours, so it is asked first.
    if (chosen_ >= 0 && TabShape().contains(point - tabRect(chosen_).topLeft())) {
        return chosen_;
    }
    for (int i = 0; i < captions_.size(); ++i) {
        if (TabShape().contains(point - tabRect(i).topLeft())) {
            return i;
        }
    }
    return -1;
}

void CZenTabCtrl::choose(int index) {
    if (index < 0 || index >= captions_.size()) {
        return;
    }
    chosen_ = index;
    update();
    emit tabChosen(index);
}

void CZenTabCtrl::PaintTab(QPainter& painter, int index) {
    const QRect area = tabRect(index);
    const bool isChosen = index == chosen_;
    Paint(painter, area, isChosen ? Picture::TabChosen : Picture::TabOther);
    painter.setFont(Font(isChosen ? PanelFont::LinkBold : PanelFont::Regular));
    painter.setPen(isChosen ? QColor(Qt::white) : colours::kLabel);
    // "&&" in a caption stands for one ampersand.
    QString caption = captions_.at(index);
    caption.replace("&&", "&");
    painter.drawText(area.adjusted(8, 2, -8, 0), Qt::AlignCenter | Qt::TextWordWrap, caption);
}

void CZenTabCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    for (int i = 0; i < captions_.size(); ++i) {
        if (i != chosen_) {
            PaintTab(painter, i);
        }
    }
    if (chosen_ >= 0) {
        PaintTab(painter, chosen_);
        PaintFocusRing(painter, tabRect(chosen_).adjusted(6, 5, -6, -3));
    }
}

void CZenTabCtrl::step(int by) {
    if (!captions_.isEmpty()) {
        const int count = static_cast<int>(captions_.size());
        choose(((chosen_ + by) % count + count) % count);
    }
}

void CZenTabCtrl::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Up:
            step(-1);
            break;
        case Qt::Key_Right:
        case Qt::Key_Down:
            step(1);
            break;
        default:
            ZenControl::keyPressEvent(event);
            break;
    }
}

void CZenTabCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const int index = tabAt(event->position().toPoint());
    if (index >= 0) {
        choose(index);
    }
}

void CZenTabCtrl::mouseMoveEvent(QMouseEvent* event) {
    setCursor(tabAt(event->position().toPoint()) >= 0 ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

}  // namespace zen::panel
