#pragma once

#include "panel/controls/zen_control.h"

namespace zen::panel {

// A flat check box over the background picture. Every change of its state, by the mouse or
// from code, tells the parent once (pages rely on this to run their handler after loading a
// value); setting the state it already has tells nothing.
class CZenCheckBox : public ZenControl {
    Q_OBJECT
public:
    CZenCheckBox(int controlId, const QString& caption, QWidget* parent);
    bool isChecked() const { return checked_; }
    void setChecked(bool checked);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Space or Enter turns it over.
    void Clicked() override;

private:
    bool checked_ = false;
};

}  // namespace zen::panel
