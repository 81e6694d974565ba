#pragma once

#include <filesystem>
#include <vector>

namespace zen {

// The programs that must never be cut off, as far as they exist here: the control panel and
// the service from the program folder, and what every user session stands on (the user's
// service manager and the session bus daemon).
std::vector<std::filesystem::path> ProtectedPrograms();

}  // namespace zen
