#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/command_run.h"

namespace zen::test {

// The zenctl binary run as a real process (in a session of its own, so it has no terminal
// to ask a password on), with the environment of the test (ZEN_ROOT of its TempRoot).
// `prefix` runs it through another command (env, faketime).
using ZenctlResult = CommandResult;
ZenctlResult Zenctl(const std::vector<std::string>& args,
                    const std::vector<std::string>& prefix = {});

// Every data file's bytes, to show that a refused command wrote nothing.
std::map<std::filesystem::path, std::string> DataFileBytes();

}  // namespace zen::test
