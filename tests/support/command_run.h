#pragma once

#include <string>
#include <vector>

namespace zen::test {

// A program run to its end in a session of its own (so it has no terminal to ask on), with
// the environment of the test: its exit code (127 when it cannot be run, 128 + the signal
// that ended it) and everything it wrote. `words` are the program, found on PATH, and its
// arguments.
struct CommandResult {
    int code = -1;
    std::string out;
    std::string err;
};
CommandResult RunCommand(std::vector<std::string> words);

}  // namespace zen::test
