#pragma once

#include <QRect>

class QWidget;

namespace zen::panel {

class CZenButtonCtrl;

// A push button of the pages and dialogs: the page button pictures, the caption by string.
CZenButtonCtrl* NewCommandButton(QWidget* parent, int controlId, int captionId, QRect geometry);

}  // namespace zen::panel
