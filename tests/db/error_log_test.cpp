#include <sys/stat.h>

#include <cerrno>
#include <regex>

#include "common/db/error_log.h"
#include "platform/clock.h"
#include "support/temp_root.h"

namespace zen {
namespace {

using ErrorLogTest = test::RootedTest;

TEST_F(ErrorLogTest, LineHasTimeDateModuleAndMessage) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    SetNowForTesting(1'700'000'000);  // 2023-11-14 22:13:20 UTC
    LogError("Unable to open the %s", "ZenUsr");
    SetNowForTesting(std::nullopt);
    const std::string log = root.ErrorLog();
    const std::regex line(R"(22:13:20, 11/14/23, /.+/test_db, Unable to open the ZenUsr\r\n)");
    EXPECT_TRUE(std::regex_match(log, line)) << log;
    struct stat status {};
    ASSERT_EQ(::stat((root / "var/log/zen-err.log").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0666u);
}

TEST_F(ErrorLogTest, ShowSysErrorNamesTheCodeOrTheSystemError) {
    EXPECT_EQ(ShowSysError(0x80070805, "Bad File Format"), 0);
    errno = ENOENT;
    ShowSysError(0, "CreateMutex");
    const std::string log = root.ErrorLog();
    EXPECT_NE(log.find(", ShowSysError: Code: Code: 0x80070805, Bad File Format\r\n"),
              std::string::npos);
    EXPECT_NE(log.find(", ShowSysError: Code: System Code: 0x2, CreateMutex\r\n"),
              std::string::npos);
}

TEST_F(ErrorLogTest, LongMessagesAreCutAt1022Characters) {
    const std::string longAscii(1500, 'x');
    LogError("%s", longAscii.c_str());
    // Two-byte characters are cut by character, never inside one.
    std::string longWide;
    for (int i = 0; i < 1100; ++i) {
        longWide += "\xC3\xA9";
    }
    LogError("%s", longWide.c_str());
    const std::string log = root.ErrorLog();
    const std::size_t first = log.find("\r\n");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(log.substr(first - 1024, 1024), ", " + std::string(1022, 'x'));
    const std::size_t second = log.find("\r\n", first + 2);
    ASSERT_NE(second, std::string::npos);
    std::string expected;
    for (int i = 0; i < 1022; ++i) {
        expected += "\xC3\xA9";
    }
    EXPECT_EQ(log.substr(second - expected.size() - 2, expected.size() + 2), ", " + expected);
}

TEST_F(ErrorLogTest, UnwritableLogIsSilent) {
    // A directory where the file should be: nothing is written, nothing fails.
    std::filesystem::create_directory(root / "var/log/zen-err.log");
    errno = EACCES;
    LogError("lost %d", 1);
    EXPECT_EQ(errno, EACCES);
    EXPECT_TRUE(std::filesystem::is_directory(root / "var/log/zen-err.log"));
}

TEST_F(ErrorLogTest, PlantedLinkIsNotFollowed) {
    const auto target = root / "elsewhere";
    test::WriteAll(target, "untouched");
    std::filesystem::create_symlink(target, root / "var/log/zen-err.log");
    LogError("must not land elsewhere");
    EXPECT_EQ(test::ReadAll(target), "untouched");
}

}  // namespace
}  // namespace zen
