// Table files that are corrupt, cut short or planted by another account: each is reported
// as a failed load, never crashes or hangs a process, and never leads a save outside the
// data directory.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <map>
#include <random>

#include "common/db/data_file_key.h"
#include "common/db/fast_table.h"
#include "platform/text.h"
#include "support/temp_root.h"
#include "tests/db/table_fixtures.h"

namespace zen {
namespace {

namespace fs = std::filesystem;
using Users = FastTable<FastUsersRecord>;

const std::string kBadFormat = "ShowSysError: Code: Code: 0x80070805, Bad File Format\r\n";
const std::string kUnableToOpen = ", Unable to open the ZenUsr\r\n";

std::string Garbage(std::size_t size) {
    std::mt19937 random(size);
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(random());
    }
    return bytes;
}

// Every entry below `dir` with its content ("->target" for links, "/" for directories).
std::map<std::string, std::string> Snapshot(const fs::path& dir) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        const std::string name = fs::relative(entry.path(), dir).string();
        if (entry.is_symlink()) {
            entries[name] = "->" + fs::read_symlink(entry.path()).string();
        } else if (entry.is_directory()) {
            entries[name] = "/";
        } else {
            entries[name] =
                test::ReadAll(entry.path()) + "#" + std::to_string(entry.hard_link_count());
        }
    }
    return entries;
}

// A load that never returns fails the test instead of stopping it: when it is stuck, opening
// the file from the other side releases a reader blocked on a FIFO.
int LoadWithin(Users& table, bool& hung) {
    auto result = std::async(std::launch::async, [&] { return table.Load(); });
    hung = result.wait_for(std::chrono::seconds(5)) == std::future_status::timeout;
    if (hung) {
        const int releaser = ::open(table.FilePath().c_str(), O_WRONLY | O_NONBLOCK);
        if (releaser >= 0) {
            ::close(releaser);
        }
    }
    return result.get();
}

struct Case {
    const char* what;
    std::function<void(const fs::path& file, const fs::path& outside)> plant;
    int loaded;           // result of Load by a reader
    std::size_t records;  // records in the set afterwards
    std::string logLine;  // the error-log line it gives ("" for none)
    int saved;            // result of a later Save
};

class TableHostileTest : public test::RootedTest {
protected:
    void SetUp() override {
        fs::create_directory(outside);
        test::WriteAll(outside / "secret",
                       test::kTableSignature + test::Stored(test::User(u"intruder", 9)));
    }

    const fs::path outside = root / "outside";
};

TEST_F(TableHostileTest, HostileFilesFailCleanlyAndStayInTheDataDirectory) {
    const auto write = [](std::string bytes) {
        return [bytes](const fs::path& file, const fs::path&) { test::WriteAll(file, bytes); };
    };
    std::string manyUsers = test::kTableSignature;
    for (uint32_t i = 0; i < 3000; ++i) {
        manyUsers += test::Stored(test::User(Utf8ToUtf16("user" + std::to_string(i)), i));
    }
    const Case cases[] = {
        {"garbage", write(Garbage(5000)), 0, 0, kBadFormat, 1},
        {"garbage records",
         write(test::kTableSignature + Garbage(sizeof(FastUsersRecord) * 40 + 77)), 1, 40, "", 1},
        {"many records cut off", write(manyUsers.substr(0, manyUsers.size() - 600)), 1, 2999, "",
         1},
        {"sparse giant file",
         [](const fs::path& file, const fs::path&) {
             test::WriteAll(file, test::kTableSignature);
             fs::resize_file(file, uintmax_t{64} << 30);
         },
         0, 0, kBadFormat, 1},
        {"directory", [](const fs::path& file, const fs::path&) { fs::create_directory(file); }, 0,
         0, kUnableToOpen, 0},
        {"fifo", [](const fs::path& file, const fs::path&) { ::mkfifo(file.c_str(), 0666); }, 0, 0,
         kUnableToOpen, 1},
        {"symlink outside",
         [](const fs::path& file, const fs::path& out) {
             fs::create_symlink(out / "secret", file);
         },
         0, 0, kUnableToOpen, 1},
        {"dangling symlink outside",
         [](const fs::path& file, const fs::path& out) { fs::create_symlink(out / "new", file); },
         0, 0, kUnableToOpen, 1},
        {"hard link outside",
         [](const fs::path& file, const fs::path& out) {
             fs::create_hard_link(out / "secret", file);
         },
         0, 0, kUnableToOpen, 1},
    };
    const auto before = Snapshot(outside);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Users table("ZenUsr");
        ASSERT_EQ(table.Open(false), 1);
        fs::remove_all(table.FilePath());
        fs::remove(root / "var/log/zen-err.log");
        c.plant(table.FilePath(), outside);

        bool hung = false;
        EXPECT_EQ(LoadWithin(table, hung), c.loaded);
        EXPECT_FALSE(hung);
        // Walk what was read, garbage and all: every name stays within its field.
        const std::size_t walked = table.WithRecords([](auto& records) {
            std::size_t count = 0;
            for (const auto& record : records) {
                EXPECT_LE(FieldText(record.name).size(), std::size(record.name));
                ++count;
            }
            return count;
        });
        EXPECT_EQ(walked, c.records);
        const std::string log = root.ErrorLog();
        if (c.logLine.empty()) {
            EXPECT_EQ(log, "");
        } else {
            EXPECT_NE(log.find(c.logLine), std::string::npos) << log;
            EXPECT_EQ(log.find("\r\n"), log.size() - 2) << "one line only: " << log;
        }

        // A save replaces whatever was planted by a table of its own, or fails.
        table.Clear();
        ASSERT_EQ(table.Insert(test::User(u"tom", 4)), 1);
        EXPECT_EQ(table.Save(), c.saved);
        if (c.saved == 1) {
            EXPECT_EQ(test::ReadAll(table.FilePath()),
                      test::kTableSignature + test::Stored(test::User(u"tom", 4)));
            EXPECT_EQ(fs::hard_link_count(table.FilePath()), 1u);
        }
        EXPECT_EQ(Snapshot(outside), before);
    }
}

TEST_F(TableHostileTest, CreatorReplacesAPlantedLinkWithoutFollowingIt) {
    Users table("ZenUsr");
    ASSERT_EQ(table.Open(true), 1);
    fs::create_symlink(outside / "new", table.FilePath());
    const auto before = Snapshot(outside);
    EXPECT_EQ(table.Load(), 1);  // made anew, as a missing file is
    EXPECT_EQ(test::ReadAll(table.FilePath()), test::kTableSignature);
    EXPECT_FALSE(fs::is_symlink(table.FilePath()));
    EXPECT_EQ(Snapshot(outside), before);
}

}  // namespace
}  // namespace zen
