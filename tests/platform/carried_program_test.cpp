// Which argument of a loader's or an interpreter's command line names the program it runs.
#include "platform/carried_program.h"

#include <gtest/gtest.h>

namespace zen {
namespace {

TEST(CarriedProgramTest, ArgumentOfLoadersAndInterpretersOnly) {
    struct Case {
        const char* executable;
        std::vector<std::string> arguments;
        std::optional<std::string> carried;
    } const cases[] = {
        {"/usr/lib/x86_64-linux-gnu/ld-linux-x86-64.so.2", {"ld", "./game", "-x"}, "./game"},
        {"/usr/lib/ld-linux-aarch64.so.1", {"ld", "--library-path", "/l", "g"}, "g"},
        {"/lib/ld-musl-x86_64.so.1", {"ld", "--preload", "a.so", "--", "--game"}, "--game"},
        {"/usr/lib/x86_64-linux-gnu/ld-linux-x86-64.so.2", {"ld", "--list"}, std::nullopt},
        {"/usr/bin/python3.11", {"python3", "-u", "game.py", "-c"}, "game.py"},
        {"/usr/bin/python3.11", {"python3", "-c", "import game"}, std::nullopt},
        {"/usr/bin/python3.11", {"python3", "-m", "game"}, std::nullopt},
        {"/usr/bin/bash", {"bash", "--", "-game.sh"}, "-game.sh"},
        {"/usr/bin/dash", {"/bin/sh", "/home/kid/game.sh"}, "/home/kid/game.sh"},
        {"/usr/bin/perl", {"perl", "-e", "print 1"}, std::nullopt},
        {"/usr/bin/perl5.36.0", {"perl", "-w", "game.pl"}, "game.pl"},
        {"/usr/bin/node", {"node", "game.js"}, "game.js"},
        {"/usr/bin/cat", {"cat", "notes.txt"}, std::nullopt},
        {"/usr/bin/pythonic", {"pythonic", "game.py"}, std::nullopt},
        {"/usr/games/ld-game", {"ld-game", "level1"}, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CarriedArgument(c.executable, c.arguments), c.carried) << c.executable;
    }
}

}  // namespace
}  // namespace zen
