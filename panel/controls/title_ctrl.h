#pragma once

#include "panel/controls/zen_control.h"

namespace zen::panel {

// A page title: white text over a dark green shadow two pixels deep, in the title font.
class CTitleCtrl : public ZenControl {
    Q_OBJECT
public:
    CTitleCtrl(int controlId, const QString& text, QWidget* parent,
               Qt::Alignment alignment = Qt::AlignLeft);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Qt::Alignment alignment_;
};

}  // namespace zen::panel
