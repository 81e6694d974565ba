#include <cstring>

#include "common/db/data_file_key.h"
#include "common/db/fast_table.h"
#include "platform/text.h"
#include "support/temp_root.h"
#include "tests/db/table_fixtures.h"

namespace zen {
namespace {

std::vector<std::u16string> Names(FastTable<FastUsersRecord>& table) {
    return table.WithRecords([](auto& records) {
        std::vector<std::u16string> names;
        for (const auto& record : records) {
            names.emplace_back(FieldText(record.name));
        }
        return names;
    });
}

class FastTableTest : public test::RootedTest {
protected:
    void SetUp() override { ASSERT_EQ(table.Open(false), 1); }
    std::filesystem::path file() const { return table.FilePath(); }

    FastTable<FastUsersRecord> table{"ZenUsr"};
};

TEST_F(FastTableTest, FileNameIsTheTableNameInTheDataDirectory) {
    EXPECT_EQ(file(), root / "var/lib/zentimo/ZenUsr.dat");
}

TEST_F(FastTableTest, LoadsWhatTheFileHolds) {
    struct Case {
        const char* what;
        std::string bytes;
        int result;
        std::vector<std::u16string> names;
        bool badFormat;
    };
    const std::string tom = test::Stored(test::User(u"tom", 4));
    const std::string ann = test::Stored(test::User(u"ann", 5));
    const Case cases[] = {
        {"signature only", test::kTableSignature, 1, {}, false},
        {"empty file", "", 0, {}, true},
        {"wrong signature", "v2.1\x07" + tom, 0, {}, true},
        {"cut signature", "v2.0", 0, {}, true},
        {"trailing partial record",
         test::kTableSignature + tom + ann.substr(0, 100),
         1,
         {u"tom"},
         false},
        {"sorted on load", test::kTableSignature + tom + ann, 1, {u"ann", u"tom"}, false},
        {"case duplicate keeps the first",
         test::kTableSignature + tom + test::Stored(test::User(u"TOM", 9)),
         1,
         {u"tom"},
         false},
        {"dot duplicate keeps the first",
         test::kTableSignature + test::Stored(test::User(u"tom.x", 7)) + tom,
         1,
         {u"tom.x"},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(root / "var/log/zen-err.log");
        ASSERT_EQ(table.Insert(test::User(u"stale", 1)), 1);
        test::WriteAll(file(), c.bytes);
        EXPECT_EQ(table.Load(), c.result);
        EXPECT_EQ(Names(table), c.names);
        const bool badFormat =
            root.ErrorLog().find("ShowSysError: Code: Code: 0x80070805, Bad File Format\r\n") !=
            std::string::npos;
        EXPECT_EQ(badFormat, c.badFormat);
    }
}

TEST_F(FastTableTest, FieldsSurviveSaveAndLoadByteForByte) {
    FastUsersRecord tom = test::User(u"tom", 4);
    tom.ParentID = 3;
    tom.timetables[kInternetSlot].rows[2][5] = 0xA5;
    tom.limits[kPowerSlot].minutes[6] = 90;
    std::memset(tom.reserved2 + 12, 0x5C, 4);  // the clear tail
    ASSERT_EQ(table.Insert(tom), 1);
    ASSERT_EQ(table.Save(), 1);

    const std::string bytes = test::ReadAll(file());
    ASSERT_EQ(bytes.size(), 5 + sizeof(FastUsersRecord));
    EXPECT_EQ(bytes.substr(0, 5), test::kTableSignature);
    EXPECT_EQ(bytes.substr(5 + 1120), std::string(4, '\x5C'));

    FastTable<FastUsersRecord> other("ZenUsr");
    ASSERT_EQ(other.Open(false), 1);
    ASSERT_EQ(other.Load(), 1);
    FastUsersRecord key = test::User(u"TOM", 0);
    ASSERT_EQ(other.Find(key), 1);
    EXPECT_EQ(std::memcmp(&key, &tom, sizeof tom), 0);
}

TEST_F(FastTableTest, ReloadsOnlyWhenAnotherSaveHappened) {
    ASSERT_EQ(table.Insert(test::User(u"tom", 4)), 1);
    ASSERT_EQ(table.Save(), 1);
    EXPECT_EQ(table.ReloadIfChanged(), 0);  // its own save

    FastTable<FastUsersRecord> other("ZenUsr");
    ASSERT_EQ(other.Open(false), 1);
    ASSERT_EQ(other.Load(), 1);
    ASSERT_EQ(other.Insert(test::User(u"ann", 5)), 1);
    ASSERT_EQ(other.Save(), 1);  // within the same second as the first save
    EXPECT_EQ(table.ReloadIfChanged(), 1);
    EXPECT_EQ(Names(table), (std::vector<std::u16string>{u"ann", u"tom"}));
    EXPECT_EQ(table.ReloadIfChanged(), 0);
}

TEST_F(FastTableTest, MissingFileFailsForReadersAndIsMadeByTheCreator) {
    EXPECT_EQ(table.Load(), 0);
    EXPECT_NE(root.ErrorLog().find(", Unable to open the ZenUsr\r\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(file()));

    FastTable<FastUsersRecord> creator("ZenUsr");
    ASSERT_EQ(creator.Open(true), 1);
    EXPECT_EQ(creator.Load(), 1);
    EXPECT_EQ(test::ReadAll(file()), test::kTableSignature);
    EXPECT_EQ(std::filesystem::status(file()).permissions(), std::filesystem::perms(0666));
}

TEST_F(FastTableTest, PlantedLinkIsNeitherReadNorWrittenThrough) {
    const auto target = root / "secret";
    test::WriteAll(target, test::kTableSignature + test::Stored(test::User(u"intruder", 9)));
    std::filesystem::create_symlink(target, file());
    EXPECT_EQ(table.Load(), 0);
    EXPECT_TRUE(Names(table).empty());

    ASSERT_EQ(table.Insert(test::User(u"tom", 4)), 1);
    ASSERT_EQ(table.Save(), 1);
    EXPECT_FALSE(std::filesystem::is_symlink(file()));
    EXPECT_EQ(test::ReadAll(target),
              test::kTableSignature + test::Stored(test::User(u"intruder", 9)));
}

TEST_F(FastTableTest, ClosedTableDoesNothing) {
    FastTable<FastUsersRecord> closed("ZenUsr");
    FastUsersRecord key = test::User(u"tom", 4);
    EXPECT_EQ(closed.Insert(key), 0);
    EXPECT_EQ(closed.Find(key), 0);
    EXPECT_EQ(closed.Load(), 0);
    EXPECT_EQ(closed.Save(), 0);
    EXPECT_FALSE(std::filesystem::exists(closed.FilePath()));
}

TEST(FastTableOrder, CustomsAndMessagesFollowTheirKeys) {
    test::TempRoot root;
    FastTable<FastCustomRecord> customs("ZenCtb");
    ASSERT_EQ(customs.Open(true), 1);
    const auto entry = [](uint16_t mode, std::u16string_view user, std::u16string_view path,
                          uint32_t sum) {
        FastCustomRecord record{};
        record.Mode = mode;
        SetFieldText(record.UserID, user);
        SetFieldText(record.szVal, path);
        record.dwVal = sum;
        return record;
    };
    ASSERT_EQ(customs.Insert(entry(2, u"Kids", u"/usr/bin/game", 7)), 1);
    ASSERT_EQ(customs.Insert(entry(1, u"Kids", u"/usr/bin/game", 7)), 1);
    ASSERT_EQ(customs.Insert(entry(2, u"All Users", u"/usr/bin/game", 7)), 1);
    ASSERT_EQ(customs.Insert(entry(2, u"Kids", u"/usr/bin/game", 3)), 1);
    EXPECT_EQ(customs.Insert(entry(2, u"KIDS", u"/USR/bin/game", 3)), 0);

    FastCustomRecord key = entry(2, u"Kids", u"", 0);
    ASSERT_EQ(customs.LowerBound(key), 1);
    EXPECT_EQ(FieldText(key.szVal), u"/usr/bin/game");
    EXPECT_EQ(key.dwVal, 3u);

    FastTable<CustomMessage> messages("ZenMsg");
    ASSERT_EQ(messages.Open(true), 1);
    CustomMessage message{};
    SetFieldText(message.name, u"Kids");
    SetFieldText(message.text, u"hello");
    message.time = 0x1'0000'0005;
    ASSERT_EQ(messages.Insert(message), 1);
    message.time = 0x2'0000'0005;  // equal in its low 32 bits
    EXPECT_EQ(messages.Insert(message), 0);
    message.tick = 1;
    EXPECT_EQ(messages.Insert(message), 1);
}

}  // namespace
}  // namespace zen
