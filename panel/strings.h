#pragma once

#include <QString>

namespace zen::panel {

// The panel's string table, loaded by number as every user-facing text of the panel is.
// An unknown number gives an empty text.
QString Text(int id);

// The product name, caption of every message box and balloon.
inline QString ProductName() {
    return Text(180);
}

}  // namespace zen::panel
