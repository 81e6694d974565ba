#pragma once

#include "panel/controls/zen_control.h"
#include "panel/pictures.h"

namespace zen::panel {

inline constexpr int kBackgroundId = 1009;

// The large picture under a dialog's controls. It sits at the bottom of the z-order, so the
// controls above it (edits, lists, trees) are never painted over.
class CBackgroundCtrl : public ZenControl {
    Q_OBJECT
public:
    CBackgroundCtrl(Picture picture, QSize size, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Picture picture_;
};

}  // namespace zen::panel
