#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/processes.h"

namespace zen {

// The program a process carries out when its executable is not the program itself: a dynamic
// loader started with a program (ld-linux-x86-64.so.2 ./game), or an interpreter running a
// script (python3 game.py, or a script started by its #! line). Its path is the command line's
// argument resolved against the process's working directory; nothing when the executable is the
// program, or the argument names no regular file.
std::optional<CarriedProgram> CarriedProgramOf(int procDir, pid_t pid,
                                               std::string_view executablePath);

// The argument of a command line that names the carried program, as written: for a loader the
// first one after its options, for an interpreter the first one that is not an option, unless
// the interpreter was given its code on the command line (-c, -e, -m). Nothing when the
// executable is neither.
std::optional<std::string> CarriedArgument(std::string_view executablePath,
                                           const std::vector<std::string>& arguments);

}  // namespace zen
