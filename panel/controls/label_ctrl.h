#pragma once

#include <QColor>

#include "panel/controls/zen_control.h"

namespace zen::panel {

// A text label over the background, by default a link: underlined under the mouse, bold
// while pressed, and a release inside after a press tells the parent.
class CLabelCtrl : public ZenControl {
    Q_OBJECT
public:
    CLabelCtrl(int controlId, const QString& text, QWidget* parent,
               Qt::Alignment alignment = Qt::AlignLeft);

    void setTextColour(const QColor& colour);
    void setClickable(bool clickable);
    void setBold(bool bold);
    // Mouse moves are handed on to the parent as well (for pages that track the mouse).
    void setForwardMouseMoves(bool forward) { forwardMoves_ = forward; }
    bool isHovered() const { return hovered_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool TakesPress() const override { return clickable_; }
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    Qt::Alignment alignment_;
    QColor colour_{138, 202, 202};
    bool clickable_ = true;
    bool bold_ = false;
    bool forwardMoves_ = false;
    bool hovered_ = false;
};

}  // namespace zen::panel
