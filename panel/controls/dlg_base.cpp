#include "panel/controls/dlg_base.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QVariant>
#include <cstdio>

#include "panel/controls/background_ctrl.h"
#include "panel/controls/close_ctrl.h"
#include "panel/controls/zen_control.h"
#include "panel/fonts.h"
#include "panel/help.h"
#include "panel/layout_file.h"

namespace zen::panel {
namespace {

constexpr char kControlIdProperty[] = "zenControlId";
// How long a tool tip stays up.
constexpr int kToolTipMilliseconds = 8000;

}  // namespace

void SetControlId(QWidget* widget, int controlId) {
    widget->setProperty(kControlIdProperty, controlId);
}

int ControlIdOf(const QWidget* widget) {
    const QVariant id = widget->property(kControlIdProperty);
    return id.isValid() ? id.toInt() : -1;
}

CDlgBase::CDlgBase(int templateId, QString helpTopic, Kind kind, QWidget* parent)
    : QDialog(parent), templateId_(templateId), helpTopic_(std::move(helpTopic)), kind_(kind) {
    if (kind_ == Kind::Page) {
        setWindowFlags(Qt::Widget);
    }
    setFont(Font(PanelFont::Regular));
    // A click on the dialog's own surface takes the focus from an edit or a combo, so what
    // was typed there is taken as when Tab leaves it.
    setFocusPolicy(Qt::ClickFocus);
}

void CDlgBase::SetTabOrder(const std::vector<QWidget*>& controls) {
    QWidget* previous = nullptr;
    for (QWidget* control : controls) {
        if (previous != nullptr) {
            setTabOrder(previous, control);
        }
        previous = control;
    }
}

void CDlgBase::SetBackground(Picture picture, QSize size) {
    background_ = new CBackgroundCtrl(picture, size, this);
    setFixedSize(size);
}

void CDlgBase::AddCloseButton() {
    close_ = new CCloseCtrl(this);
    connect(close_, &CCloseCtrl::command, this, [this] { reject(); });
}

void CDlgBase::FinishInit() {
    ApplyLayoutFile();
    for (QWidget* child : findChildren<QWidget*>()) {
        child->setToolTipDuration(kToolTipMilliseconds);
    }
    if (close_ != nullptr) {
        close_->move(width() - close_->width() - 2, 2);
        close_->raise();
    }
    if (background_ != nullptr) {
        background_->lower();
    }
}

void CDlgBase::ApplyLayoutFile() {
    ShareLayoutFile();
    const bool record = LayoutRecordMode();
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const int id = ControlIdOf(child);
        if (record) {
            if (id < 0) {
                std::fprintf(stderr, "zencp: template %d: a control without an identifier: %s\n",
                             templateId_, qPrintable(child->metaObject()->className()));
                continue;
            }
            const QRect r = child->geometry();
            WriteLayoutRect(templateId_, id, {r.left(), r.top(), r.right() + 1, r.bottom() + 1});
            continue;
        }
        if (id < 0) {
            continue;
        }
        if (const auto rect = ReadLayoutRect(templateId_, id)) {
            child->setFont(Font(PanelFont::Regular));
            child->setGeometry(
                QRect(QPoint(rect->left, rect->top), QPoint(rect->right - 1, rect->bottom - 1)));
        }
    }
}

void CDlgBase::OpenHelp() {
    panel::OpenHelp(helpTopic_, this);
}

void CDlgBase::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        OpenHelp();
        return;
    }
    const bool enter = (event->key() == Qt::Key_Return && event->modifiers() == Qt::NoModifier) ||
                       (event->key() == Qt::Key_Enter &&
                        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier);
    if (enter && defaultButton_ != nullptr && defaultButton_->isVisible()) {
        defaultButton_->activate();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CDlgBase::mousePressEvent(QMouseEvent* event) {
    if (movable_ && event->button() == Qt::LeftButton) {
        dragging_ = true;
        dragOffset_ = event->globalPosition().toPoint() - window()->pos();
        return;
    }
    QDialog::mousePressEvent(event);
}

void CDlgBase::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_) {
        // A page moves its whole window.
        window()->move(event->globalPosition().toPoint() - dragOffset_);
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void CDlgBase::mouseReleaseEvent(QMouseEvent* event) {
    dragging_ = false;
    QDialog::mouseReleaseEvent(event);
}

void CDlgBase::reject() {
    // Escape on a page must not hide the page inside the main window.
    if (!isPage()) {
        QDialog::reject();
    }
}

}  // namespace zen::panel
