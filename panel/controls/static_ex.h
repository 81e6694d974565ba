#pragma once

#include "panel/controls/zen_control.h"

namespace zen::panel {

// A framed text: a sunken 3-D frame in the panel's dark and light teal, the text inside it
// word-wrapped in the parent's font.
class CStaticEX : public ZenControl {
    Q_OBJECT
public:
    CStaticEX(int controlId, const QString& text, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
};

}  // namespace zen::panel
