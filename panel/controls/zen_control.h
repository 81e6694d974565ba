#pragma once

#include <QWidget>

class QPainter;

namespace zen::panel {

// The identifiers of the standard dialog commands the panel's controls send.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

// The base of the custom-drawn controls: like a static control it carries a control
// identifier (which the layout file and the parent's command handling use), and a control
// that acts tells its parent by `command` with that identifier, as a standard button does.
class ZenControl : public QWidget {
    Q_OBJECT
public:
    ZenControl(int controlId, QWidget* parent);
    int controlId() const { return controlId_; }
    bool isPressed() const { return pressed_; }

    // The window text of the static control; setting it redraws.
    const QString& text() const { return text_; }
    void setText(const QString& text);

    // What a click does, for Space or Enter while the control has the keyboard focus and for a
    // dialog's default button; nothing while disabled or while the control takes no press.
    void activate();

signals:
    void command(int controlId);

protected:
    void Notify() { emit command(controlId_); }

    // A click is taken as a standard button takes it: a left press, then the release inside
    // the control (the mouse stays captured between the two); a release elsewhere, or one
    // without a press, is nothing.
    virtual void Clicked() { Notify(); }
    // Whether a press counts now (a label that is no link takes none).
    virtual bool TakesPress() const { return true; }
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

    // A control that acts is reached by Tab and by a click, as a standard button is.
    void TakeKeyboardFocus(bool takes);
    // The dotted ring around `area` while the control has the keyboard focus.
    void PaintFocusRing(QPainter& painter, const QRect& area) const;

private:
    int controlId_;
    bool pressed_ = false;
    QString text_;
};

}  // namespace zen::panel
