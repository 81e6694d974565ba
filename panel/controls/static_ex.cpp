#include "panel/controls/static_ex.h"

#include <QPainter>

#include "panel/pictures.h"

namespace zen::panel {

CStaticEX::CStaticEX(int controlId, const QString& text, QWidget* parent)
    : ZenControl(controlId, parent) {
    setText(text);
}

void CStaticEX::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    painter.setPen(colours::kFrameDark);
    painter.drawLine(frame.topLeft(), frame.topRight());
    painter.drawLine(frame.topLeft(), frame.bottomLeft());
    painter.setPen(colours::kFrameLight);
    painter.drawLine(frame.bottomLeft(), frame.bottomRight());
    painter.drawLine(frame.topRight(), frame.bottomRight());
    painter.setFont(parentWidget() != nullptr ? parentWidget()->font() : font());
    painter.setPen(colours::kLabel);
    painter.drawText(rect().adjusted(2, 2, -2, -2), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                     text());
}

}  // namespace zen::panel
