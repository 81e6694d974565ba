#include <zlib.h>

#include <cstring>

#include "common/db/checksum.h"
#include "common/db/data_file_key.h"
#include "common/db/name_compare.h"
#include "common/db/records.h"
#include "support/temp_root.h"

namespace zen {
namespace {

TEST(NameCompare, FollowsTheDotAndStarRules) {
    struct Case {
        std::u16string a, b;
        int expected;
    };
    const Case cases[] = {
        {u"Tom", u"tom", 0},
        {u"tom", u"tomas", -1},
        {u"tomas", u"tom", 1},
        {u"notepad", u"notepad.exe", 0},  // one ends where the other goes on with "."
        {u"notepad.exe", u"NOTEPAD", 0},
        {u"note*", u"notepad.exe", 0},  // "*" after a common part
        {u"notepad.exe", u"note*", 0},
        {u"*", u"a", -1},  // a leading "*" is a plain character
        {u"a", u"*", 1},
        {u"tom.x", u"tom.y", -1},
        {u"", u"", 0},
        {u"", u".", -1},
        {u"a", u"B", -1},            // ASCII letters compare lowered
        {u"_", u"a", -1},            // '_' (0x5F) < 'a' (0x61), though > 'A'
        {u"\u00C9", u"\u00E9", -1},  // beyond ASCII: raw code units
        {u"z", u"\u00E9", -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NameCompare(c.a, c.b), c.expected)
            << std::string(c.a.begin(), c.a.end()) << " vs " << std::string(c.b.begin(), c.b.end());
    }
}

template <typename T>
void ExpectClearTail(std::size_t clearBytes) {
    T record;
    auto* bytes = reinterpret_cast<unsigned char*>(&record);
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        bytes[i] = static_cast<unsigned char>(i * 7 + 1);
    }
    T original;
    std::memcpy(&original, &record, sizeof(T));
    DataFileKey::Encipher(record);
    const std::size_t enciphered = sizeof(T) - clearBytes;
    EXPECT_EQ(enciphered % 16, 0u);
    EXPECT_NE(std::memcmp(&record, &original, enciphered), 0);
    EXPECT_EQ(std::memcmp(bytes + enciphered,
                          reinterpret_cast<unsigned char*>(&original) + enciphered, clearBytes),
              0);
    DataFileKey::Decipher(record);
    EXPECT_EQ(std::memcmp(&record, &original, sizeof(T)), 0);
}

TEST(DataFileKey, EnciphersWholeBlocksAndLeavesTailsClear) {
    ExpectClearTail<FastCustomRecord>(0);
    ExpectClearTail<FastUsersRecord>(4);
    ExpectClearTail<CustomMessage>(0);
    ExpectClearTail<Options>(8);
    ExpectClearTail<WarningRecord>(8);
    ExpectClearTail<ActivityRecord>(8);
}

TEST(DataFileKey, IsElectronicCodebook) {
    // Equal blocks encipher equally, wherever they stand: the stored format depends on it.
    unsigned char block[48] = {};
    DataFileKey::Encipher(std::as_writable_bytes(std::span(block)));
    EXPECT_EQ(std::memcmp(block, block + 16, 16), 0);
    EXPECT_EQ(std::memcmp(block, block + 32, 16), 0);
}

using CheckSumTest = test::RootedTest;

TEST_F(CheckSumTest, CoversTheFirst4000Bytes) {
    const auto small = root / "small";
    test::WriteAll(small, "123456789");
    EXPECT_EQ(CheckSum(small), 0xCBF43926u);  // the CRC-32 check value

    std::string big(5000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>(i);
    }
    const auto large = root / "large";
    test::WriteAll(large, big);
    const auto expected =
        static_cast<uint32_t>(::crc32(0, reinterpret_cast<const Bytef*>(big.data()), 4000));
    EXPECT_EQ(CheckSum(large), expected);

    test::WriteAll(root / "empty", "");
    EXPECT_EQ(CheckSum(root / "empty"), 0u);
}

TEST_F(CheckSumTest, MissingFileFailsAndIsLogged) {
    const auto missing = root / "missing.exe";
    EXPECT_EQ(CheckSum(missing), kCheckSumFailed);
    EXPECT_NE(root.ErrorLog().find("Error: (GetCheckSum)invalid handle value. File " +
                                   missing.string() + ". Error 0x2\r\n"),
              std::string::npos);
}

TEST(StringCrc, IsTheCrcOfTheUtf16LeBytesAndCaseSensitive) {
    const unsigned char tom[] = {'t', 0, 'o', 0, 'm', 0};
    EXPECT_EQ(StringCrc(u"tom"), static_cast<uint32_t>(::crc32(0, tom, sizeof tom)));
    EXPECT_NE(StringCrc(u"tom"), StringCrc(u"Tom"));
    EXPECT_EQ(StringCrc(u""), 0u);
}

}  // namespace
}  // namespace zen
