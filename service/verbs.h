#pragma once

#include <span>
#include <string>
#include <string_view>

namespace zen {

// Makes the service's environment from the command line (a test root's "-tick MS") and
// ZEN_ROOT, then runs the verbs of the command line left to right: each argument that starts
// with '-' or '/' and names a verb (in any letter case) runs at once; other arguments are
// ignored. Returns the program's exit code.
int RunVerbs(std::span<const std::string_view> arguments);

}  // namespace zen
