#pragma once

#include <QPoint>
#include <QSize>

namespace zen::panel {

// Every page has the same size and sits at the same place in the main window.
inline constexpr QSize kPageSize{680, 488};
inline constexpr QPoint kPageOrigin{89, 100};

// The controls every page has at its foot.
inline constexpr int kHelpLinkId = 1200;
inline constexpr int kBackLinkId = 1201;

}  // namespace zen::panel
