#pragma once

#include "panel/pages/page_frame.h"

namespace zen::panel {

// Stands in for a page whose class has not been registered in this build, so the navigation
// around it still works.
class PendingPage : public PageFrame {
    Q_OBJECT
public:
    PendingPage(int titleId, QWidget* parent);
};

}  // namespace zen::panel
