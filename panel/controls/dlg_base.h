#pragma once

#include <QDialog>
#include <QPoint>
#include <vector>

#include "panel/pictures.h"

namespace zen::panel {

class CBackgroundCtrl;
class CCloseCtrl;
class ZenControl;

// The identifier a dialog's child carries for the layout file: custom controls have theirs;
// standard widgets (edits, lists) get one with SetControlId.
void SetControlId(QWidget* widget, int controlId);
int ControlIdOf(const QWidget* widget);

// The base of every dialog and page of the panel: a background picture that gives the dialog
// its size, an optional close button in the top-right corner, the help topic that F1 and
// "Click here for Help" open, the layout file's overrides, and dragging for movable dialogs.
// A page is the same class shown as a child of the main window.
class CDlgBase : public QDialog {
    Q_OBJECT
public:
    enum class Kind { Window, Page };

    CDlgBase(int templateId, QString helpTopic, Kind kind, QWidget* parent);

    int templateId() const { return templateId_; }
    const QString& helpTopic() const { return helpTopic_; }
    bool isPage() const { return kind_ == Kind::Page; }
    void setMovable(bool movable) { movable_ = movable; }

    // Reloads the page from the rules database; called each time the page is shown.
    virtual void Refresh() {}

    void OpenHelp();
    // Cancel: ends a dialog; a page ignores it, so Escape never hides a page.
    void reject() override;

    // The button Enter presses wherever the focus is in the dialog, unless the focus is on
    // another button (which then takes Enter itself).
    void SetDefaultButton(ZenControl* button) { defaultButton_ = button; }
    ZenControl* defaultButton() const { return defaultButton_; }

signals:
    // What a page asks of the main window: show the page of its section with that index;
    // show the pending page again ("Back"); reload the users and the tray picture.
    void showPageRequested(int index);
    void backRequested();
    void usersChanged();

protected:
    // Puts the background picture under everything, sized as given; the dialog takes its size.
    void SetBackground(Picture picture, QSize size);
    // Adds the close button; its cancel command ends the dialog (hides a window).
    void AddCloseButton();
    // The last step of a dialog's construction: the layout file's rectangles are applied (or,
    // in layout-record mode, recorded) and the close button placed.
    void FinishInit();
    // Sets the order Tab walks the controls in.
    static void SetTabOrder(const std::vector<QWidget*>& controls);

    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void ApplyLayoutFile();

    int templateId_;
    QString helpTopic_;
    Kind kind_;
    bool movable_ = false;
    bool dragging_ = false;
    QPoint dragOffset_;
    CBackgroundCtrl* background_ = nullptr;
    CCloseCtrl* close_ = nullptr;
    ZenControl* defaultButton_ = nullptr;
};

}  // namespace zen::panel
