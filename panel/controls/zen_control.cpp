#include "panel/controls/zen_control.h"

#include <QMouseEvent>

#include "panel/controls/dlg_base.h"

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

}  // namespace zen::panel
