#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <set>

#include "common/db/data_file_key.h"
#include "common/db/log_records.h"
#include "common/db/log_table.h"
#include "support/child_process.h"
#include "support/temp_root.h"

namespace zen {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kStride = sizeof(ActivityRecord) + 4;
constexpr int64_t kHeader = 24;
constexpr int64_t Slot(int index) {
    return kHeader + index * kStride;
}

struct Links {
    int32_t head, tail, free;
    bool operator==(const Links&) const = default;
};

Links LinksOf(const fs::path& file) {
    const std::string bytes = test::ReadAll(file);
    Links links{};
    std::memcpy(&links, bytes.data() + 12, sizeof links);
    return links;
}

void Patch(const fs::path& file, int64_t offset, int32_t value) {
    std::string bytes = test::ReadAll(file);
    std::memcpy(bytes.data() + offset, &value, sizeof value);
    test::WriteAll(file, bytes);
}

int64_t SizeOf(const fs::path& file) {
    return static_cast<int64_t>(fs::file_size(file));
}

// The log under test: activity records, a local size limit and a mutex standing in for the
// options mutex of the database manager.
class LogFile {
public:
    LogFile() { optionsMutex_.Open("_QRT_OptionsMutex_"); }

    int Open(bool creator) { return log.Open(creator, &limitKb, &optionsMutex_); }

    int Append(uint32_t value) {
        ActivityRecord record =
            BuildActivity(1000 + value, u"tom", 2000 + value, u"game", u"/usr/games/game", value);
        return log.LogAppend(std::as_writable_bytes(std::span(&record, 1)));
    }

    // The values of the records, oldest first, read with LogFirst / LogNext; a walk that
    // would not end fails the test instead of hanging it.
    std::vector<uint32_t> Values() {
        std::vector<uint32_t> values;
        ActivityRecord record;
        for (int more = log.LogFirst(); more != 0;) {
            if (log.LogNext(std::as_writable_bytes(std::span(&record, 1))) == 0) {
                break;
            }
            values.push_back(record.value);
            if (values.size() > 10'000) {
                ADD_FAILURE() << "the walk does not end";
                break;
            }
        }
        return values;
    }

    uint32_t limitKb = 1024;
    DBLogTable log{"Zenavt", sizeof(ActivityRecord)};

private:
    NamedMutex optionsMutex_;
};

class LogTableTest : public test::RootedTest {
protected:
    fs::path file() const { return root / "var/lib/zentimo/Zenavt.dat"; }
    bool Logged(const std::string& text) const {
        return root.ErrorLog().find(text) != std::string::npos;
    }
    std::string BadHeaderReport() const {
        return "ShowSysError: Code: Code: 0x80070804, " + file().string() + "\r\n";
    }

    LogFile log;
};

TEST_F(LogTableTest, CreatorStartsAnEmptyLogWithAFreshHeader) {
    ASSERT_EQ(log.Open(true), 1);
    EXPECT_EQ(test::ReadAll(file()), std::string("C\0S\0"
                                                 "1\0\0\0"
                                                 "\0\0\0\0",
                                                 12) +
                                         std::string(12, '\xFF'));
    EXPECT_EQ(log.log.LogFirst(), 0);
    EXPECT_EQ(log.log.LogRemoveOldest(), 0);
    EXPECT_EQ(LinksOf(file()), (Links{-1, -1, -1}));
    struct stat status {};
    ASSERT_EQ(::stat(file().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0666u);
}

TEST_F(LogTableTest, AppendsChainSlotsAndWalkOldestFirst) {
    ASSERT_EQ(log.Open(true), 1);
    ActivityRecord record = BuildActivity(1, u"tom", 2, u"game", u"/g", 7);
    const ActivityRecord clear = record;
    ASSERT_EQ(log.log.LogAppend(std::as_writable_bytes(std::span(&record, 1))), 1);
    EXPECT_NE(std::memcmp(&record, &clear, sizeof record), 0);  // enciphered in place
    for (uint32_t value : {8u, 9u}) {
        ASSERT_EQ(log.Append(value), 1);
    }
    EXPECT_EQ(log.Values(), (std::vector<uint32_t>{7, 8, 9}));
    EXPECT_EQ(SizeOf(file()), Slot(3));
    EXPECT_EQ(LinksOf(file()), (Links{int32_t{Slot(0)}, int32_t{Slot(2)}, -1}));

    // The stored slot is the enciphered record, its 8-byte tail in clear, then the next offset.
    const std::string bytes = test::ReadAll(file());
    ActivityRecord stored;
    std::memcpy(&stored, bytes.data() + Slot(0), sizeof stored);
    EXPECT_EQ(std::memcmp(&stored, &record, sizeof stored), 0);
    DataFileKey::Decipher(stored);
    EXPECT_EQ(std::memcmp(&stored, &clear, sizeof stored), 0);
    int32_t next = 0;
    std::memcpy(&next, bytes.data() + Slot(0) + sizeof(ActivityRecord), sizeof next);
    EXPECT_EQ(next, Slot(1));
}

TEST_F(LogTableTest, AtTheLimitEachAppendReusesTheOldestSlot) {
    log.limitKb = 5;  // 24 + 5 slots of 1132 bytes reach 5120 bytes
    ASSERT_EQ(log.Open(true), 1);
    for (uint32_t value = 0; value < 5; ++value) {
        ASSERT_EQ(log.Append(value), 1);
    }
    ASSERT_EQ(SizeOf(file()), Slot(5));
    ASSERT_EQ(log.Append(5), 1);
    EXPECT_EQ(SizeOf(file()), Slot(5));
    EXPECT_EQ(LinksOf(file()), (Links{int32_t{Slot(1)}, int32_t{Slot(0)}, -1}));
    EXPECT_EQ(log.Values(), (std::vector<uint32_t>{1, 2, 3, 4, 5}));
    for (uint32_t value = 6; value < 20; ++value) {
        ASSERT_EQ(log.Append(value), 1);
    }
    EXPECT_EQ(SizeOf(file()), Slot(5));
    EXPECT_EQ(log.Values(), (std::vector<uint32_t>{15, 16, 17, 18, 19}));

    log.limitKb = 6;  // a changed option counts at the next append
    ASSERT_EQ(log.Append(20), 1);
    EXPECT_EQ(SizeOf(file()), Slot(6));
}

TEST_F(LogTableTest, RemovingTheOnlyRecordFreesItsSlotForTheNextAppend) {
    ASSERT_EQ(log.Open(true), 1);
    ASSERT_EQ(log.Append(1), 1);
    ASSERT_EQ(log.log.LogRemoveOldest(), 1);
    EXPECT_EQ(LinksOf(file()), (Links{-1, -1, int32_t{Slot(0)}}));
    EXPECT_EQ(log.log.LogFirst(), 0);
    ASSERT_EQ(log.Append(2), 1);
    EXPECT_EQ(LinksOf(file()), (Links{int32_t{Slot(0)}, int32_t{Slot(0)}, -1}));
    EXPECT_EQ(SizeOf(file()), Slot(1));
    EXPECT_EQ(log.Values(), (std::vector<uint32_t>{2}));
}

TEST_F(LogTableTest, ClearLeavesAFreshHeader) {
    ASSERT_EQ(log.Open(true), 1);
    for (uint32_t value = 0; value < 3; ++value) {
        ASSERT_EQ(log.Append(value), 1);
    }
    ASSERT_EQ(log.log.LogFirst(), 1);
    ASSERT_EQ(log.log.Clear(), 1);
    EXPECT_EQ(SizeOf(file()), kHeader);
    EXPECT_EQ(LinksOf(file()), (Links{-1, -1, -1}));
    ActivityRecord record;
    EXPECT_EQ(log.log.LogNext(std::as_writable_bytes(std::span(&record, 1))), 0);
    ASSERT_EQ(log.Append(9), 1);
    EXPECT_EQ(log.Values(), (std::vector<uint32_t>{9}));
}

TEST_F(LogTableTest, AnotherProcessOpensTheSameLog) {
    LogFile other;
    EXPECT_EQ(other.Open(false), 0);  // missing file, not the creator
    EXPECT_TRUE(Logged("ShowSysError: Code: System Code: 0x2, " + file().string() + "\r\n"));
    EXPECT_TRUE(Logged(", Unable to open the Zenavt (log)\r\n"));
    EXPECT_EQ(other.Append(1), 0);

    ASSERT_EQ(log.Open(true), 1);
    ASSERT_EQ(log.Append(1), 1);
    ASSERT_EQ(other.Open(false), 1);
    ASSERT_EQ(other.Append(2), 1);
    EXPECT_EQ(log.Values(), (std::vector<uint32_t>{1, 2}));
}

TEST_F(LogTableTest, ZeroByteFileGetsAHeaderOnlyFromTheCreator) {
    test::WriteAll(file(), "");
    EXPECT_EQ(log.Open(false), 0);
    EXPECT_TRUE(Logged(BadHeaderReport()));
    EXPECT_TRUE(Logged(", Unable to open the Zenavt (log)\r\n"));
    EXPECT_EQ(log.Append(1), 0);
    EXPECT_EQ(SizeOf(file()), 0);

    ASSERT_EQ(log.Open(true), 1);
    EXPECT_EQ(LinksOf(file()), (Links{-1, -1, -1}));
}

TEST_F(LogTableTest, AppendNeedsASizeLimit) {
    NamedMutex optionsMutex;
    ASSERT_TRUE(optionsMutex.Open("_QRT_OptionsMutex_"));
    DBLogTable log("Zenavt", sizeof(ActivityRecord));
    ASSERT_EQ(log.Open(true, nullptr, &optionsMutex), 1);
    ActivityRecord record{};
    EXPECT_EQ(log.LogAppend(std::as_writable_bytes(std::span(&record, 1))), 0);
    EXPECT_EQ(SizeOf(file()), kHeader);
}

TEST_F(LogTableTest, BadFilesAreRefusedAtOpen) {
    struct Case {
        const char* what;
        std::string bytes;
        bool badHeader;
    };
    const Case cases[] = {
        {"truncated header",
         std::string("C\0S\0"
                     "1\0\0\0",
                     8),
         true},
        {"garbage signature",
         std::string("C\0S\0"
                     "2\0\0\0",
                     8) +
             std::string(16, '\xFF'),
         true},
        {"table signature", std::string("v2.0\x07", 5) + std::string(19, '\0'), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(root / "var/log/zen-err.log");
        test::WriteAll(file(), c.bytes);
        EXPECT_EQ(log.Open(true), 0);
        EXPECT_EQ(Logged(BadHeaderReport()), c.badHeader);
        EXPECT_TRUE(Logged(", Unable to open the Zenavt (log)\r\n"));
        EXPECT_EQ(log.Append(1), 0);
        EXPECT_EQ(test::ReadAll(file()), c.bytes);
    }
}

TEST_F(LogTableTest, NeverWritesThroughALinkAtTheLogsName) {
    const fs::path outside = root / "outside.dat";
    test::WriteAll(outside, "precious");
    fs::create_symlink(outside, file());
    EXPECT_EQ(log.Open(true), 0);
    EXPECT_TRUE(Logged(", Unable to open the Zenavt (log)\r\n"));
    fs::remove(file());
    fs::create_hard_link(outside, file());
    EXPECT_EQ(log.Open(true), 0);
    EXPECT_EQ(log.Append(1), 0);
    EXPECT_EQ(test::ReadAll(outside), "precious");
}

// A corrupt chain ends a walk and refuses an append that would follow it, without reading or
// writing outside the file.
TEST_F(LogTableTest, CorruptChainsEndWalksAndAppends) {
    struct Case {
        const char* what;
        int64_t at;     // where the offset is patched
        int32_t value;  // the offset written there
        std::vector<uint32_t> walk;
        bool appends;
        bool reported = true;
    };
    const int32_t past = Slot(50);
    const auto nextOf = [](int index) { return Slot(index) + int64_t{sizeof(ActivityRecord)}; };
    const Case cases[] = {
        {"newest links back to the oldest", nextOf(2), int32_t{Slot(0)}, {0, 1, 2}, true, false},
        {"middle links back to the oldest", nextOf(1), int32_t{Slot(0)}, {0, 1, 0}, true},
        {"slot links to itself", nextOf(0), int32_t{Slot(0)}, {0}, true},
        {"next past the end", nextOf(1), past, {0, 1}, true},
        {"next inside a slot", nextOf(0), int32_t{Slot(1)} + 16, {0}, true},
        {"next inside the header", nextOf(0), 4, {0}, true},
        // A header whose ends make no sense (a torn write) is repaired by the next append:
        // the chain is kept from the head for as long as it holds.
        {"head past the end", 12, past, {}, true},
        {"head misaligned", 12, 25, {}, true},
        {"head negative", 12, -24, {}, true},
        {"tail without head", 12, -1, {}, true},
        {"tail past the end", 16, INT32_MAX, {}, true},
        {"free is the head", 20, int32_t{Slot(0)}, {0, 1, 2}, true},
        {"free past the end", 20, past, {0, 1, 2}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(file());
        fs::remove(root / "var/log/zen-err.log");
        ASSERT_EQ(log.Open(true), 1);
        for (uint32_t value = 0; value < 3; ++value) {
            ASSERT_EQ(log.Append(value), 1);
        }
        Patch(file(), c.at, c.value);

        EXPECT_EQ(log.Values(), c.walk);
        EXPECT_EQ(log.Append(3), c.appends ? 1 : 0);
        EXPECT_LE(SizeOf(file()), Slot(c.appends ? 4 : 3));
        EXPECT_EQ(Logged("Bad chain in the Zenavt (log)"), c.reported);
        EXPECT_LE(log.Values().size(), 4u);
        log.limitKb = 0;  // every append now removes the oldest first
        log.Append(4);
        log.Append(5);
        EXPECT_LE(SizeOf(file()), Slot(5));
        EXPECT_LE(log.Values().size(), 5u);
        log.limitKb = 1024;
    }
    // Nothing but the log and the error log was written.
    std::set<fs::path> written;
    for (const auto& entry : fs::recursive_directory_iterator(root.path())) {
        if (entry.is_regular_file() && entry.path().parent_path().filename() != "zentimo") {
            written.insert(entry.path());
        }
    }
    EXPECT_EQ(written, (std::set<fs::path>{root / "var/log/zen-err.log"}));
}

TEST_F(LogTableTest, BadFreeListIsNotFollowed) {
    ASSERT_EQ(log.Open(true), 1);
    for (uint32_t value = 0; value < 3; ++value) {
        ASSERT_EQ(log.Append(value), 1);
    }
    ASSERT_EQ(log.log.LogRemoveOldest(), 1);
    Patch(file(), Slot(0) + sizeof(ActivityRecord), 999'999);
    EXPECT_EQ(log.Append(3), 0);
    EXPECT_TRUE(Logged("Bad chain in the Zenavt (log): next offset 999999"));
    EXPECT_EQ(log.Values(), (std::vector<uint32_t>{1, 2}));
    EXPECT_EQ(SizeOf(file()), Slot(3));
}

TEST_F(LogTableTest, PieceLeftByACrashIsOverwritten) {
    ASSERT_EQ(log.Open(true), 1);
    ASSERT_EQ(log.Append(0), 1);
    std::string bytes = test::ReadAll(file());
    test::WriteAll(file(), bytes + std::string(100, 'x'));
    ASSERT_EQ(log.Append(1), 1);
    EXPECT_EQ(SizeOf(file()), Slot(2));
    EXPECT_EQ(log.Values(), (std::vector<uint32_t>{0, 1}));
}

ZEN_CHILD(log_appender) {
    LogFile log;
    if (log.Open(false) != 1) {
        return 2;
    }
    const uint32_t base = static_cast<uint32_t>(std::stoul(args.at(0)));
    for (uint32_t i = 0; i < 100; ++i) {
        if (log.Append(base + i) != 1) {
            return 3;
        }
    }
    return 0;
}

TEST_F(LogTableTest, ConcurrentProcessesLoseNoRecord) {
    ASSERT_EQ(log.Open(true), 1);
    test::Child first("log_appender", {"1000"});
    test::Child second("log_appender", {"2000"});
    ASSERT_EQ(first.Wait(), 0);
    ASSERT_EQ(second.Wait(), 0);

    const std::vector<uint32_t> values = log.Values();
    ASSERT_EQ(values.size(), 200u);
    EXPECT_EQ(SizeOf(file()), Slot(200));
    // Each process's records are all there, in the order it wrote them.
    for (uint32_t base : {1000u, 2000u}) {
        std::vector<uint32_t> mine;
        std::copy_if(values.begin(), values.end(), std::back_inserter(mine),
                     [base](uint32_t v) { return v / 1000 == base / 1000; });
        ASSERT_EQ(mine.size(), 100u);
        for (uint32_t i = 0; i < 100; ++i) {
            EXPECT_EQ(mine[i], base + i);
        }
    }
}

}  // namespace
}  // namespace zen
