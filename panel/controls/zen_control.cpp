#include "panel/controls/zen_control.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "panel/controls/dlg_base.h"
#include "panel/pictures.h"

namespace zen::panel {

ZenControl::ZenControl(int controlId, QWidget* parent) : QWidget(parent), controlId_(controlId) {
    SetControlId(this, controlId);
    // Drawn transparently over the background picture.
    setAutoFillBackground(false);
}

void ZenControl::setText(const QString& text) {
    text_ = text;
    update();
}

void ZenControl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !TakesPress()) {
        return;
    }
    pressed_ = true;
    update();
}

void ZenControl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const bool wasPressed = pressed_;
    pressed_ = false;
    update();
    if (wasPressed && rect().contains(event->position().toPoint())) {
        Clicked();
    }
}

void ZenControl::activate() {
    if (isEnabled() && TakesPress()) {
        Clicked();
    }
}

void ZenControl::keyPressEvent(QKeyEvent* event) {
    const bool acts = event->modifiers() == Qt::NoModifier ||
                      (event->modifiers() == Qt::KeypadModifier && event->key() == Qt::Key_Enter);
    if (acts && TakesPress() &&
        (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return ||
         event->key() == Qt::Key_Enter)) {
        activate();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ZenControl::focusInEvent(QFocusEvent* event) {
    update();
    QWidget::focusInEvent(event);
}

void ZenControl::focusOutEvent(QFocusEvent* event) {
    update();
    QWidget::focusOutEvent(event);
}

void ZenControl::TakeKeyboardFocus(bool takes) {
    setFocusPolicy(takes ? Qt::StrongFocus : Qt::NoFocus);
}

void ZenControl::PaintFocusRing(QPainter& painter, const QRect& area) const {
    if (!hasFocus()) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(colours::kFocusRing, 1, Qt::DotLine));
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    painter.restore();
}

}  // namespace zen::panel
