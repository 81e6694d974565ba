#include "panel/about_dialog.h"

#include "panel/controls/title_ctrl.h"
#include "panel/controls/zen_button_ctrl.h"
#include "panel/dialog_widgets.h"
#include "panel/strings.h"

namespace zen::panel {

CDlgAbout::CDlgAbout(QWidget* parent) : CDlgBase(100, {}, Kind::Window, parent) {
    setObjectName("CDlgAbout");
    setWindowTitle(ProductName());
    setMovable(true);
    SetBackground(Picture::PageBackground, QSize(360, 190));
    auto* title = new CTitleCtrl(1000, ProductName() + " " + ZEN_PANEL_VERSION, this);
    title->setGeometry(16, 12, 320, 36);
    NewTextLabel(this, 1001,
                 tr("The control panel of Zentimo, family time control for a shared Linux "
                    "computer: schedules and daily limits for the computer, the Internet, "
                    "programs, CD/DVD and removable drives."),
                 QRect(18, 58, 324, 70));
    auto* ok = new CZenButtonCtrl(kIdOk, Text(249), kPageButtons, this);
    ok->setGeometry(246, 144, 96, 28);
    connect(ok, &CZenButtonCtrl::command, this, &CDlgAbout::accept);
    SetDefaultButton(ok);
    FinishInit();
}

}  // namespace zen::panel
