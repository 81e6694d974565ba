#pragma once

#include "panel/controls/dlg_base.h"

namespace zen::panel {

// The about box: the product, its version and what it is.
class CDlgAbout : public CDlgBase {
    Q_OBJECT
public:
    explicit CDlgAbout(QWidget* parent);
};

}  // namespace zen::panel
