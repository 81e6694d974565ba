#include "panel/pages/overview_page.h"

#include <algorithm>

#include "panel/controls/zen_button_ctrl.h"
#include "panel/dialog_widgets.h"
#include "panel/page_catalog.h"
#include "panel/pages/page_geometry.h"
#include "panel/strings.h"

namespace zen::panel {
namespace {

constexpr int kButtonLeft = 30;
constexpr int kButtonWidth = 200;
constexpr int kButtonHeight = 46;
constexpr int kFirstRow = 78;
constexpr int kRowsHeight = 360;
constexpr int kTextLeft = kButtonLeft + kButtonWidth + 24;

}  // namespace

OverviewPage::OverviewPage(const OverviewSpec& spec, QWidget* parent)
    : PageFrame(spec.templateId, spec.helpTopic, spec.titleId, Links::HelpOnly, parent) {
    const int count = static_cast<int>(spec.buttons.size());
    const int row = std::min(100, kRowsHeight / std::max(count, 1));
    // Rows go by page index, whatever the control numbers are.
    std::vector<OverviewButton> ordered = spec.buttons;
    std::sort(ordered.begin(), ordered.end(), [](const OverviewButton& a, const OverviewButton& b) {
        return a.pageIndex < b.pageIndex;
    });
    for (int i = 0; i < count; ++i) {
        const OverviewButton& entry = ordered[static_cast<std::size_t>(i)];
        const int top = kFirstRow + i * row;
        QString caption = Text(entry.captionId);
        caption.replace("&&", "&");
        auto* button = new CZenButtonCtrl(entry.controlId, caption, kOverviewButtons, this);
        button->setGeometry(kButtonLeft, top, kButtonWidth, kButtonHeight);
        const int index = entry.pageIndex;
        connect(button, &CZenButtonCtrl::command, this,
                [this, index] { emit showPageRequested(index); });
        NewTextLabel(this, entry.descriptionControlId, Text(entry.descriptionId),
                     QRect(kTextLeft, top - 6, kPageSize.width() - kTextLeft - 28, row - 8));
    }
    FinishInit();
}

const std::vector<OverviewSpec>& OverviewSpecs() {
    static const std::vector<OverviewSpec> specs = {
        {"CDlgFirstComputerScheduler",
         209,
         102,
         {{1000, 110, 0, 1108, 209}, {1001, 111, 1, 1109, 210}},
         "::/manual/sch_computer.html"},
        {"CDlgFirstInternetScheduler",
         210,
         103,
         {{1000, 110, 0, 1108, 211}, {1001, 111, 1, 1109, 212}, {1002, 112, 2, 1110, 213}},
         "::/manual/sch_internet.html"},
        {"CDlgFirstProgramsScheduler",
         211,
         104,
         {{1000, 110, 0, 1108, 215}, {1001, 111, 1, 1109, 216}, {1088, 233, 2, 1110, 214}},
         "::/manual/sch_programs.html"},
        {"CDlgFirstCDDVDScheduler",
         212,
         105,
         {{1000, 110, 0, 1108, 217}, {1001, 111, 1, 1109, 218}},
         "::/manual/sch_cddvd.html"},
        {"CDlgFirstRemovableScheduler",
         213,
         230,
         {{1000, 110, 0, 1108, 219}, {1001, 111, 1, 1109, 220}},
         "::/manual/sch_removable.html"},
        {"CDlgFirstWarningsAndLogs",
         214,
         235,
         {{1089, 115, 0, 1111, 221}, {1090, 116, 1, 1112, 222}},
         "::/manual/logs.html"},
        {"CDlgFirstSettings",
         215,
         108,
         {{1091, 231, 0, 1113, 223},
          {1092, 118, 1, 1114, 224},
          {1093, 232, 2, 1115, 225},
          {1089, 120, 3, 1116, 226}},
         "::/manual/settings.html"},
    };
    return specs;
}

void RegisterOverviewPages(PageCatalog& catalog) {
    for (const OverviewSpec& spec : OverviewSpecs()) {
        catalog.Register(spec.pageClass, [&spec](CDBManager&, QWidget* parent) -> CDlgBase* {
            return new OverviewPage(spec, parent);
        });
    }
}

}  // namespace zen::panel
