#include "panel/controls/title_ctrl.h"

#include <QFontMetrics>
#include <QPainter>

#include "panel/fonts.h"
#include "panel/pictures.h"

namespace zen::panel {

CTitleCtrl::CTitleCtrl(int controlId, const QString& text, QWidget* parent, Qt::Alignment alignment)
    : ZenControl(controlId, parent), alignment_(alignment) {
    setText(text);
}

void CTitleCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QFont& font = Font(PanelFont::Title);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const int textWidth = metrics.horizontalAdvance(text());
    int x = 0;
    if (alignment_ & Qt::AlignHCenter) {
        x = (width() - textWidth) / 2;
    } else if (alignment_ & Qt::AlignRight) {
        x = width() - textWidth;
    }
    const int baseline = metrics.ascent();
    painter.setPen(colours::kTitleShadow);
    painter.drawText(QPoint(x + 1, baseline + 1), text());
    painter.drawText(QPoint(x + 2, baseline + 2), text());
    painter.setPen(colours::kTitle);
    painter.drawText(QPoint(x, baseline), text());
}

}  // namespace zen::panel
