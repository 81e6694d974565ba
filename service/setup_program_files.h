#pragma once

#include <filesystem>

namespace zen {

// Keeps the program's own installed files under `prefix` (bin/zensvc, bin/zencp, bin/zenctl,
// lib/libzensp.so) owned by root and writable by no one else: root runs them, and every
// process loads the filter. Folders shared with other software are not changed; one that
// others can write is logged. Returns 1 when every file present is safe.
int SecureProgramFiles(const std::filesystem::path& prefix);

}  // namespace zen
