#include "common/db/protected_programs.h"

#include <algorithm>

#include "platform/root.h"

namespace zen {

std::vector<std::filesystem::path> ProtectedPrograms() {
    const std::filesystem::path folder = paths::ProgramFolder();
    const std::filesystem::path candidates[] = {
        folder / "bin/zencp",   folder / "bin/zensvc",  "/usr/lib/systemd/systemd",
        "/lib/systemd/systemd", "/usr/bin/dbus-daemon", "/usr/bin/dbus-broker",
    };
    std::vector<std::filesystem::path> found;
    for (const std::filesystem::path& candidate : candidates) {
        std::error_code error;
        // One entry per file, however many names lead to it (/lib is /usr/lib on most systems).
        const std::filesystem::path real = std::filesystem::canonical(candidate, error);
        if (!error && std::filesystem::is_regular_file(real, error) &&
            std::find(found.begin(), found.end(), real) == found.end()) {
            found.push_back(real);
        }
    }
    return found;
}

}  // namespace zen
