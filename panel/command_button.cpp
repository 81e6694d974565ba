#include "panel/command_button.h"

#include "panel/controls/zen_button_ctrl.h"
#include "panel/strings.h"

namespace zen::panel {

CZenButtonCtrl* NewCommandButton(QWidget* parent, int controlId, int captionId, QRect geometry) {
    auto* button = new CZenButtonCtrl(controlId, Text(captionId), kPageButtons, parent);
    button->setGeometry(geometry);
    return button;
}

}  // namespace zen::panel
