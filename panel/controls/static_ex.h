#pragma once

#include "panel/controls/zen_control.h"

namespace zen::panel {

// A framed text: a sunken 3-D frame in the panel's dark and light teal, the text inside it
// word-wrapped in the parent's font.
class CStaticEX : public ZenControl {
    Q_OBJECT
public:
    CStaticEX(int controlId, const QString& text, QWidget* parent);
    const QString& text() const { return text_; }
    void setText(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
};

}  // namespace zen::panel
