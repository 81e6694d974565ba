#include "panel/command_button.h"

#include "panel/controls/zen_button_ctrl.h"
#include "panel/strings.h"

namespace zen::panel {

CZenButtonCtrl* NewCommandButton(QWidget* parent, int controlId, int captionId, QRect geometry,
                                 const ButtonPictures& pictures) {
    auto* button = new CZenButtonCtrl(controlId, Text(captionId), pictures, parent);
    button->setGeometry(geometry);
    return button;
}

}  // namespace zen::panel
