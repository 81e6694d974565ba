#include "panel/pages/pending_page.h"

#include "panel/dialog_widgets.h"
#include "panel/help.h"

namespace zen::panel {

PendingPage::PendingPage(int titleId, QWidget* parent)
    : PageFrame(0, kStartTopic, titleId, Links::HelpAndBack, parent) {
    NewTextLabel(this, 1010, tr("This page is not part of this build of the control panel."),
                 QRect(40, 80, 600, 40));
    FinishInit();
}

}  // namespace zen::panel
