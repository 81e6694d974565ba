#include <filesystem>
#include <vector>

#include "common/db/db_manager.h"
#include "common/db/log_records.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "support/temp_root.h"

namespace zen {
namespace {

constexpr int64_t kNow = 1'709'643'900;

class AddLogTest : public test::RootedTest {
protected:
    void SetUp() override {
        ASSERT_EQ(db.Init(true), 1);
        db.SetCurrentUserName(u"tom");
        SetNowForTesting(kNow);
    }
    void TearDown() override {
        SetNowForTesting(std::nullopt);
        db.Term();
    }

    template <typename Record>
    std::vector<Record> Records(DBLogTable& log) {
        std::vector<Record> records;
        EXPECT_EQ(VisitLog<Record>(log, [&](const Record& r) { records.push_back(r); }), 1);
        return records;
    }

    CDBManager db;
};

TEST_F(AddLogTest, WarningOfTheCurrentUserNow) {
    ASSERT_EQ(AddWarning(db, u"Program blocked", u"game", 1, u"Not now"), 1);
    const auto records = Records<WarningRecord>(db.Warnings());
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].time, kNow);
    EXPECT_EQ(FieldText(records[0].user), u"tom");
    EXPECT_EQ(records[0].kind, 1u);
    EXPECT_EQ(FieldText(records[0].program), u"game");
    EXPECT_EQ(FieldText(records[0].text), u"Program blocked");
    EXPECT_EQ(FieldText(records[0].secondText), u"Not now");
}

TEST_F(AddLogTest, ActivityEndsNow) {
    ASSERT_EQ(AddActivity(db, kNow - 600, u"game", u"/usr/games/game", 3), 1);
    const auto records = Records<ActivityRecord>(db.Activity());
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].startTime, kNow - 600);
    EXPECT_EQ(records[0].endTime, kNow);
    EXPECT_EQ(FieldText(records[0].user), u"tom");
    EXPECT_EQ(FieldText(records[0].program), u"game");
    EXPECT_EQ(FieldText(records[0].path), u"/usr/games/game");
    EXPECT_EQ(records[0].value, 3u);
}

TEST_F(AddLogTest, TheSizeOptionBoundsTheLogAtOnce) {
    {
        NamedMutexLock lock(db.OptionsMutex());
        db.LockOptions()->WarningsSize = 10;  // 24 + 4 slots of 2844 bytes pass 10240
    }
    for (int i = 0; i < 12; ++i) {
        ASSERT_EQ(AddWarning(db, u"Computer time is over", u"", 2, u""), 1);
    }
    EXPECT_EQ(std::filesystem::file_size(db.Warnings().FilePath()), 24u + 4 * 2844);
    EXPECT_EQ(Records<WarningRecord>(db.Warnings()).size(), 4u);
}

}  // namespace
}  // namespace zen
