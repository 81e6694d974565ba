#pragma once

#include <string_view>

namespace zen {

// The one comparison of names, paths and texts in the database (-1, 0, +1): ASCII letters
// without regard to case, other code units as they are. After a common part, a "." where the
// other name ends, or a "*" on either side, makes the names equal, so "notepad" equals
// "notepad.exe" and "note*" equals "notepad.exe".
int NameCompare(std::u16string_view a, std::u16string_view b);

}  // namespace zen
