#include "panel/controls/zen_control.h"

#include "panel/controls/dlg_base.h"

namespace zen::panel {

ZenControl::ZenControl(int controlId, QWidget* parent) : QWidget(parent), controlId_(controlId) {
    SetControlId(this, controlId);
    // Drawn transparently over the background picture.
    setAutoFillBackground(false);
}

}  // namespace zen::panel
