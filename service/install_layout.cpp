#include "service/install_layout.h"

#include "platform/root.h"

namespace zen::layout {

std::filesystem::path ProgramDir() {
    return ZEN_BINDIR;
}

std::filesystem::path LibraryDir() {
    return ZEN_LIBDIR;
}

std::filesystem::path ShippedServiceUnit() {
    return Root() / std::filesystem::path(ZEN_UNIT_DIR).relative_path() / "zensvc.service";
}

std::vector<std::filesystem::path> ProgramFiles() {
    return {ProgramDir() / "zensvc", ProgramDir() / "zencp", ProgramDir() / "zenctl",
            LibraryDir() / "libzensp.so", LibraryDir() / "libzensp-rules.so"};
}

}  // namespace zen::layout
