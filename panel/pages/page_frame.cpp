#include "panel/pages/page_frame.h"

#include "panel/controls/label_ctrl.h"
#include "panel/controls/title_ctrl.h"
#include "panel/pages/page_geometry.h"
#include "panel/strings.h"

namespace zen::panel {

PageFrame::PageFrame(int templateId, QString helpTopic, int titleStringId, Links links,
                     QWidget* parent)
    : CDlgBase(templateId, std::move(helpTopic), Kind::Page, parent) {
    SetBackground(Picture::PageBackground, kPageSize);
    QString caption = Text(titleStringId);
    caption.replace("&&", "&");
    title_ = new CTitleCtrl(1100, caption, this);
    title_->setGeometry(24, 12, kPageSize.width() - 48, 40);
    auto* help = new CLabelCtrl(kHelpLinkId, Text(109), this, Qt::AlignRight);
    help->setGeometry(kPageSize.width() - 204, kPageSize.height() - 32, 180, 20);
    connect(help, &CLabelCtrl::command, this, [this] { OpenHelp(); });
    help_ = help;
    if (links == Links::HelpAndBack) {
        auto* back = new CLabelCtrl(kBackLinkId, Text(234), this);
        back->setGeometry(24, kPageSize.height() - 32, 120, 20);
        connect(back, &CLabelCtrl::command, this, &CDlgBase::backRequested);
        back_ = back;
    }
}

std::vector<QWidget*> PageFrame::footLinks() const {
    if (back_ == nullptr) {
        return {help_};
    }
    return {back_, help_};
}

}  // namespace zen::panel
