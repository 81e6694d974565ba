#pragma once

#include <QRect>

#include "panel/pictures.h"

class QWidget;

namespace zen::panel {

class CZenButtonCtrl;

// A push button of the pages and dialogs: the page button pictures unless given, the caption by
// string.
CZenButtonCtrl* NewCommandButton(QWidget* parent, int controlId, int captionId, QRect geometry,
                                 const ButtonPictures& pictures = kPageButtons);

}  // namespace zen::panel
