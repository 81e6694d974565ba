// zensvc's command line: a word it does not know is a failure, never a silent success.
#include <gtest/gtest.h>

#include "common/db/options_file.h"
#include "service/exit_codes.h"
#include "support/command_run.h"
#include "support/temp_root.h"

namespace zen::test {
namespace {

using ZensvcCommandLineTest = RootedTest;

TEST_F(ZensvcCommandLineTest, HelpUnknownWordsAndNoWordAtAll) {
    const struct {
        std::vector<std::string> words;
        int code;
        bool usageOut;
        bool usageErr;
    } cases[] = {
        {{"--help"}, kExitDone, true, false},
        {{"-h"}, kExitDone, true, false},
        {{"-install", "--help"}, kExitDone, true, false},
        // Nothing runs when one word is wrong, even after a right one.
        {{"-install", "-setupAl"}, kExitUsage, false, true},
        {{"/setupAll", "--resett"}, kExitUsage, false, true},
        // As always: nothing to do, and no usage where nobody reads it; a word without a
        // prefix is not meant for zensvc.
        {{}, kExitDone, false, false},
        {{"setupAll"}, kExitDone, false, false},
        {{"/INSTALL", "-Remove"}, kExitDone, false, false},
    };
    for (const auto& c : cases) {
        std::vector<std::string> words{ZENSVC_PATH};
        words.insert(words.end(), c.words.begin(), c.words.end());
        const CommandResult run = RunCommand(words);
        const std::string what = testing::PrintToString(c.words);
        EXPECT_EQ(run.code, c.code) << what << run.err;
        EXPECT_EQ(run.out.starts_with("Usage: zensvc VERB"), c.usageOut) << what << run.out;
        EXPECT_EQ(run.err.find("Usage: zensvc VERB") != std::string::npos, c.usageErr)
            << what << run.err;
        if (c.code == kExitUsage) {
            EXPECT_TRUE(run.err.starts_with("zensvc: unknown word \"" + c.words.back() + "\""))
                << run.err;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(OptionsFilePath()));
}

}  // namespace
}  // namespace zen::test
