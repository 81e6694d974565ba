#pragma once

#include <span>
#include <string>
#include <string_view>

namespace zen {

// Makes the service's environment from the command line (a test root's "-tick MS") and
// ZEN_ROOT, then runs the verbs of the command line left to right: each argument that starts
// with '-' or '/' and names a verb (in any letter case) runs at once. "--reset" and
// "--keep-data" modify the set-up and the removal; "--help" and "-h" print the usage. Any
// other word with a prefix prints the usage and ends with exit code 2, before anything runs;
// words without one are
// ignored. Returns the program's exit code.
int RunVerbs(std::span<const std::string_view> arguments);

}  // namespace zen
