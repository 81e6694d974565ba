#pragma once

#include "panel/controls/dlg_base.h"

namespace zen::panel {

class CTitleCtrl;

// What the pages of the main window share: the page background, the title, the "Click here
// for Help" link and (on the pages behind an overview) the "Back" link, which asks the main
// window for the pending page.
class PageFrame : public CDlgBase {
    Q_OBJECT
public:
    enum class Links { HelpOnly, HelpAndBack };
    PageFrame(int templateId, QString helpTopic, int titleStringId, Links links, QWidget* parent);

protected:
    CTitleCtrl* title() const { return title_; }
    // "Back" (when the page has it) and "Click here for Help", in Tab order.
    std::vector<QWidget*> footLinks() const;

private:
    CTitleCtrl* title_;
    QWidget* help_ = nullptr;
    QWidget* back_ = nullptr;
};

}  // namespace zen::panel
