#pragma once

#include "panel/controls/zen_control.h"
#include "panel/pictures.h"

namespace zen::panel {

// A picture button: the normal picture, the pressed one while the mouse holds it, the
// disabled one (when the set has it) while disabled; the caption centred in bold. Tab reaches
// it, Space or Enter presses it.
class CZenButtonCtrl : public ZenControl {
    Q_OBJECT
public:
    CZenButtonCtrl(int controlId, const QString& caption, ButtonPictures pictures, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    ButtonPictures pictures_;
};

}  // namespace zen::panel
