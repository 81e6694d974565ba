#pragma once

#include <filesystem>
#include <vector>

namespace zen {

// Where this build installs its files (the folders CMake was configured with): the programs,
// the filter libraries (lib/zentimo, in the multiarch folder under /usr) and the unit a
// package ships.
namespace layout {
std::filesystem::path ProgramDir();  // the installed zensvc, zenctl and zencp
std::filesystem::path LibraryDir();  // the installed libzensp.so and libzensp-rules.so
// The unit as the package or `cmake --install` shipped it, under the root.
std::filesystem::path ShippedServiceUnit();
// Every installed file that root runs or every process loads.
std::vector<std::filesystem::path> ProgramFiles();
}  // namespace layout

}  // namespace zen
