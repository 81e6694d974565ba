// The usage counter file: its bytes, its name, and what is refused when reading and saving.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "access_test_support.h"
#include "common/db/category.h"
#include "common/db/checksum.h"
#include "common/db/machine_id.h"
#include "common/db/usage_state.h"
#include "support/temp_root.h"

namespace zen {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kSeed = 9321;

class UsageStateTest : public test::RootedTest {
protected:
    void SetUp() override { ASSERT_TRUE(stateMutex.Open("_QRT_StateMutex_")); }

    NamedMutex stateMutex;
    const uint32_t crc = StringCrc(u"alice");
    const fs::path file = UsageFileName(StringCrc(u"alice"), kSeed);
};

TEST_F(UsageStateTest, SavesSixteenLittleEndianBytesThatLoadBack) {
    test::ScopedNow now(0x0102030405060708);
    ASSERT_EQ(SaveUsage(stateMutex, 0xA1B2C3D4, 42, crc, kSeed), 1);
    const std::string bytes = test::ReadAll(file);
    const std::string expected(
        "\x08\x07\x06\x05\x04\x03\x02\x01"
        "\xD4\xC3\xB2\xA1"
        "\x2A\x00\x00\x00",
        16);
    EXPECT_EQ(bytes, expected);
    struct stat status {};
    ASSERT_EQ(::stat(file.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0666u);

    UsageCounterFile counter{};
    ASSERT_EQ(LoadUsage(stateMutex, counter, crc, kSeed), 1);
    EXPECT_EQ(counter.savedTime, 0x0102030405060708);
    EXPECT_EQ(counter.lastCountTime, 0xA1B2C3D4u);
    EXPECT_EQ(counter.minutesUsed, 42u);
    EXPECT_EQ(root.ErrorLog(), "");
}

TEST_F(UsageStateTest, NameIsTheHiddenNameOfUserCrcPlusSeedAndCaseMatters) {
    EXPECT_EQ(file, HiddenDataFileName(StringCrc(u"alice") + kSeed));
    EXPECT_EQ(UsageFileName(0xFFFFFFFF, 2), HiddenDataFileName(1));  // the sum wraps
    EXPECT_NE(UsageFileName(StringCrc(u"Alice"), kSeed), file);
    ASSERT_EQ(SaveUsage(stateMutex, 1, 5, StringCrc(u"Alice"), kSeed), 1);
    ASSERT_EQ(SaveUsage(stateMutex, 1, 9, crc, kSeed), 1);
    UsageCounterFile counter{};
    ASSERT_EQ(LoadUsage(stateMutex, counter, StringCrc(u"Alice"), kSeed), 1);
    EXPECT_EQ(counter.minutesUsed, 5u);
}

TEST_F(UsageStateTest, MissingFileFailsAndIsLogged) {
    UsageCounterFile counter{7, 8, 9};
    EXPECT_EQ(LoadUsage(stateMutex, counter, crc, kSeed), 0);
    EXPECT_EQ(counter.minutesUsed, 9u);
    const std::string log = root.ErrorLog();
    EXPECT_NE(log.find("ShowSysError: Code: System Code: 0x2, " + file.string() + "\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(", Failed to load state data file, Code: 0x0C9\r\n"), std::string::npos);
}

// What may be found under the counter's name; none of it loads, none of it is followed.
enum class Planted { Short, Long, Empty, Link, Directory, Fifo };

TEST_F(UsageStateTest, AnythingButSixteenBytesInARegularFileFailsToLoad) {
    const fs::path elsewhere = root / "elsewhere";
    test::WriteAll(elsewhere, std::string(16, '\x01'));
    for (Planted planted : {Planted::Short, Planted::Long, Planted::Empty, Planted::Link,
                            Planted::Directory, Planted::Fifo}) {
        fs::remove_all(file);
        switch (planted) {
            case Planted::Short:
                test::WriteAll(file, std::string(15, '\x01'));
                break;
            case Planted::Long:
                test::WriteAll(file, std::string(17, '\x01'));
                break;
            case Planted::Empty:
                test::WriteAll(file, "");
                break;
            case Planted::Link:
                fs::create_symlink(elsewhere, file);
                break;
            case Planted::Directory:
                fs::create_directory(file);
                break;
            case Planted::Fifo:
                ASSERT_EQ(::mkfifo(file.c_str(), 0666), 0);
                break;
        }
        UsageCounterFile counter{};
        EXPECT_EQ(LoadUsage(stateMutex, counter, crc, kSeed), 0) << static_cast<int>(planted);
        EXPECT_EQ(counter.minutesUsed, 0u);
        const UsageRead read = LoadUsageRemembered(stateMutex, crc, kSeed);
        EXPECT_FALSE(read.loaded);
        EXPECT_EQ(read.counter.minutesUsed, 0u);
    }
    EXPECT_EQ(test::ReadAll(elsewhere), std::string(16, '\x01'));
}

TEST_F(UsageStateTest, SaveReplacesALinkInsteadOfWritingThroughIt) {
    const fs::path elsewhere = root / "elsewhere";
    test::WriteAll(elsewhere, "keep");
    fs::create_symlink(elsewhere, file);
    ASSERT_EQ(SaveUsage(stateMutex, 1, 2, crc, kSeed), 1);
    EXPECT_EQ(test::ReadAll(elsewhere), "keep");
    EXPECT_FALSE(fs::is_symlink(file));
    EXPECT_EQ(fs::file_size(file), 16u);
}

TEST_F(UsageStateTest, SaveThatCannotReplaceIsLogged) {
    fs::create_directory(file);
    test::WriteAll(file / "inside", "x");
    EXPECT_EQ(SaveUsage(stateMutex, 1, 2, crc, kSeed), 0);
    const std::string log = root.ErrorLog();
    EXPECT_NE(log.find("ShowSysError: Code: System Code: 0x"), std::string::npos) << log;
    EXPECT_NE(log.find(", " + file.string() + "\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find(", Failed to save state data file, Code: 0x0C9\r\n"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(file));
}

}  // namespace
}  // namespace zen
