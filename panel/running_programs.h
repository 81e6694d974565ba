#pragma once

#include <string>
#include <vector>

namespace zen::panel {

// A running program as "Add program from memory" lists it.
struct RunningProgram {
    std::string path;
    std::string owner;
    bool operator==(const RunningProgram&) const = default;
};

// The processes of /proc this panel can read, with the file each runs and its owner's login
// name. Processes of accounts the system never controls (root and the system accounts),
// kernel threads, and those whose file or owner cannot be found are left out; one row per
// program and owner, sorted.
std::vector<RunningProgram> RunningPrograms();

}  // namespace zen::panel
