#pragma once

#include "panel/controls/zen_control.h"

namespace zen::panel {

// A page title: white text over a dark green shadow two pixels deep, in the title font.
class CTitleCtrl : public ZenControl {
    Q_OBJECT
public:
    CTitleCtrl(int controlId, const QString& text, QWidget* parent,
               Qt::Alignment alignment = Qt::AlignLeft);
    const QString& text() const { return text_; }
    void setText(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    Qt::Alignment alignment_;
};

}  // namespace zen::panel
