// What the packages install beside the programs, checked with the tools the desktops and
// Debian check them with.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/command_run.h"
#include "support/temp_root.h"

namespace zen::test {
namespace {

namespace fs = std::filesystem;

// A tool the machine lacks cannot be run (the test skips then).
bool Missing(const CommandResult& run) {
    return run.code == 127;
}

bool HasLineWith(const std::string& text, const std::string& word) {
    return text.find(word) != std::string::npos;
}

TEST(PackagingTest, DesktopEntriesValidate) {
    for (const char* entry : {ZEN_MENU_ENTRY, ZEN_AUTOSTART_ENTRY}) {
        const CommandResult check = RunCommand({"desktop-file-validate", entry});
        if (Missing(check)) {
            GTEST_SKIP() << "the tool is not installed";
        }
        EXPECT_EQ(check.code, 0) << entry << "\n" << check.out << check.err;
        // Hints are advice; errors and warnings are faults.
        EXPECT_FALSE(HasLineWith(check.out + check.err, "error:")) << check.out << check.err;
        EXPECT_FALSE(HasLineWith(check.out + check.err, "warning:")) << check.out << check.err;
    }
    const std::string menu = ReadAll(ZEN_MENU_ENTRY);
    for (const char* line : {"\nName=Zentimo Control Panel\n", "\nCategories=Settings;System;\n",
                             "\nIcon=zentimo\n", "\nExec=" ZEN_BINDIR "/zencp -open\n"}) {
        EXPECT_TRUE(HasLineWith(menu, line)) << line;
    }
}

TEST(PackagingTest, AppStreamDataValidates) {
    const CommandResult check = RunCommand({"appstreamcli", "validate", "--no-net", "--pedantic",
                                            ZEN_SOURCE_DIR "/packaging/zencp.metainfo.xml"});
    if (Missing(check)) {
        GTEST_SKIP() << "the tool is not installed";
    }
    EXPECT_EQ(check.code, 0) << check.out << check.err;
}

TEST(PackagingTest, ManPagesHaveNoWarnings) {
    for (const char* page : {"zenctl.1", "zencp.1", "zensvc.8"}) {
        const std::string path = std::string(ZEN_SOURCE_DIR "/docs/") + page;
        const CommandResult check = RunCommand({"man", "--warnings", "-E", "UTF-8", "-l", path});
        if (Missing(check)) {
            GTEST_SKIP() << "the tool is not installed";
        }
        EXPECT_EQ(check.code, 0) << page << check.err;
        EXPECT_EQ(check.err, "") << page;
        EXPECT_TRUE(HasLineWith(check.out, "SEE ALSO")) << page;
    }
}

TEST(PackagingTest, TheIconsAreTheThemesSizes) {
    const std::string png = ReadAll(ZEN_SOURCE_DIR "/packaging/zentimo-48.png");
    ASSERT_GE(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    // The IHDR chunk's width and height, big-endian.
    EXPECT_EQ(png.substr(16, 8), std::string("\0\0\0\x30\0\0\0\x30", 8));
    const std::string svg = ReadAll(ZEN_SOURCE_DIR "/packaging/zentimo.svg");
    EXPECT_TRUE(HasLineWith(svg, "viewBox=\"0 0 48 48\""));
}

// bash completes the names of the rules database's groups and users.
TEST(PackagingTest, TheCompletionOffersGroupAndUserNames) {
    const TempRoot root;
    const std::string zenctl = ZENCTL_PATH;
    for (const std::vector<std::string>& edit : {std::vector<std::string>{"init"},
                                                 {"group", "add", "Kids"},
                                                 {"group", "add", "Kids Two"},
                                                 {"user", "add", "kim", "Kids", "--any"}}) {
        std::vector<std::string> words{zenctl, "--root", root.path().string()};
        words.insert(words.end(), edit.begin(), edit.end());
        const CommandResult made = RunCommand(words);
        ASSERT_EQ(made.code, 0) << made.err;
    }
    const fs::path completion = "/usr/share/bash-completion/bash_completion";
    if (!fs::exists(completion)) {
        GTEST_SKIP() << "bash-completion is not installed";
    }
    // The completion of "zenctl --root ROOT show Ki", with zenctl on the PATH.
    const std::string script =
        "source " + completion.string() +
        "; source " ZEN_SOURCE_DIR "/packaging/zenctl.bash-completion; PATH=" +
        fs::path(zenctl).parent_path().string() +
        ":$PATH; complete_at() { COMP_WORDS=(\"$@\"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); "
        "COMP_LINE=\"$*\"; COMP_POINT=${#COMP_LINE}; _zenctl; printf '%s|' \"${COMPREPLY[@]}\"; "
        "echo; }; complete_at zenctl --root \"$1\" show K; complete_at zenctl --root \"$1\" move "
        "k; complete_at zenctl --root \"$1\" limit Kids c";
    const CommandResult run = RunCommand({"bash", "-c", script, "complete", root.path().string()});
    if (Missing(run)) {
        GTEST_SKIP() << "the tool is not installed";
    }
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "Kids|Kids Two|\nkim|\ncomputer|cd|\n") << run.err;
}

}  // namespace
}  // namespace zen::test
