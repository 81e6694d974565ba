#pragma once

#include <QString>
#include <vector>

#include "panel/pages/page_frame.h"

namespace zen::panel {

class PageCatalog;

// What an overview page shows: a large picture button per page of its section, each with the
// sentence on what that page does.
struct OverviewButton {
    int controlId;
    int captionId;
    int pageIndex;
    int descriptionControlId;
    int descriptionId;
};

struct OverviewSpec {
    QString pageClass;
    int templateId;
    int titleId;
    std::vector<OverviewButton> buttons;
    QString helpTopic;
};

// The first page of each section. A button asks the main window for the page with its index.
class OverviewPage : public PageFrame {
    Q_OBJECT
public:
    OverviewPage(const OverviewSpec& spec, QWidget* parent);
};

// The seven overview pages, one per section in strip order.
const std::vector<OverviewSpec>& OverviewSpecs();

void RegisterOverviewPages(PageCatalog& catalog);

}  // namespace zen::panel
