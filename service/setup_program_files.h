#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace zen {

// Root runs the installed programs and every process loads the filter, so each of `files`
// and its folder must be owned by root and writable by no one else. A file that is not is
// refused, never made root's: whoever could change it may have done so already. One line
// per fault ("PATH is not owned by root"), each also logged; a missing file is no fault.
std::vector<std::string> ProgramFileFaults(const std::vector<std::filesystem::path>& files);

}  // namespace zen
