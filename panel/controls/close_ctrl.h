#pragma once

#include "panel/controls/zen_control.h"

namespace zen::panel {

inline constexpr int kCloseId = 1008;

// The round close button in a dialog's top-right corner; a release inside it sends the
// cancel command.
class CCloseCtrl : public ZenControl {
    Q_OBJECT
public:
    static constexpr int kSide = 20;
    explicit CCloseCtrl(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void Clicked() override;
};

}  // namespace zen::panel
