// Tables shared by real processes: saves seen by others, concurrent inserts, and saves cut
// short by SIGKILL.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>

#include "common/db/fast_table.h"
#include "platform/text.h"
#include "support/child_process.h"
#include "support/temp_root.h"

namespace zen {
namespace {

using Users = FastTable<FastUsersRecord>;

// "<prefix>-00042": numbered names that sort as they count and never fold into each other.
FastUsersRecord Numbered(const std::string& prefix, int number) {
    char name[32];
    std::snprintf(name, sizeof name, "%s-%05d", prefix.c_str(), number);
    FastUsersRecord record{};
    SetFieldText(record.name, Utf8ToUtf16(name));
    record.UserID = static_cast<uint32_t>(number);
    return record;
}

std::vector<std::string> Names(Users& table) {
    return table.WithRecords([](auto& records) {
        std::vector<std::string> names;
        for (const auto& record : records) {
            names.push_back(Utf16ToUtf8(FieldText(record.name)));
        }
        return names;
    });
}

std::size_t Count(Users& table) {
    return table.WithRecords([](auto& records) { return records.size(); });
}

// Adds the user args[0]-00000 to the users table; with args[1], then sets the file's
// modification time to args[1] nanoseconds, as a file system with coarse times would show
// two saves in the same instant.
ZEN_CHILD(table_save_one) {
    Users table("ZenUsr");
    if (table.Open(false) != 1 || table.Load() != 1 || table.Insert(Numbered(args.at(0), 0)) != 1 ||
        table.Save() != 1) {
        return 2;
    }
    if (args.size() > 1) {
        const int64_t ns = std::stoll(args[1]);
        const timespec times[2] = {{0, UTIME_OMIT}, {ns / 1'000'000'000, ns % 1'000'000'000}};
        if (::utimensat(AT_FDCWD, table.FilePath().c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
            return 3;
        }
    }
    return 0;
}

// Adds args[1] users named args[0]-NNNNN, each by its own load, insert and save under the
// table mutex, as every writer of a shared table must.
ZEN_CHILD(table_add_users) {
    Users table("ZenUsr");
    if (table.Open(true) != 1) {
        return 2;
    }
    const int count = std::stoi(args.at(1));
    for (int i = 0; i < count; ++i) {
        NamedMutexLock lock(table.Mutex());
        if (!lock.owns() || table.Load() != 1 || table.Insert(Numbered(args[0], i)) != 1 ||
            table.Save() != 1) {
            return 3;
        }
    }
    return 0;
}

// Saves the users table again and again, one more user each time, and after every save
// writes the number of users saved to the descriptor args[0]; runs until it is killed.
ZEN_CHILD(table_grow_forever) {
    const int progress = std::stoi(args.at(0));
    Users table("ZenUsr");
    if (table.Open(true) != 1 || table.Load() != 1) {
        return 2;
    }
    for (int next = static_cast<int>(Count(table));; ++next) {
        if (table.Insert(Numbered("u", next)) != 1 || table.Save() != 1) {
            return 3;
        }
        const auto saved = static_cast<uint32_t>(next + 1);
        if (::write(progress, &saved, sizeof saved) != sizeof saved) {
            return 4;
        }
    }
}

class TableProcessTest : public test::RootedTest {};

TEST_F(TableProcessTest, SavesOfOtherProcessesAreReloaded) {
    Users table("ZenUsr");
    ASSERT_EQ(table.Open(true), 1);
    ASSERT_EQ(table.Load(), 1);
    EXPECT_EQ(table.ReloadIfChanged(), 0);

    ASSERT_EQ(test::RunChild("table_save_one", {"ann"}), 0);
    EXPECT_EQ(table.ReloadIfChanged(), 1);
    EXPECT_EQ(Names(table), std::vector<std::string>{"ann-00000"});
    EXPECT_EQ(table.ReloadIfChanged(), 0);

    // The next save carries exactly the same modification time as the one just loaded.
    const FileStamp seen = StampOf(table.FilePath());
    ASSERT_EQ(test::RunChild("table_save_one", {"bob", std::to_string(seen.modifiedNs)}), 0);
    ASSERT_EQ(StampOf(table.FilePath()).modifiedNs, seen.modifiedNs);
    EXPECT_EQ(table.ReloadIfChanged(), 1);
    EXPECT_EQ(Names(table), (std::vector<std::string>{"ann-00000", "bob-00000"}));
    EXPECT_EQ(table.ReloadIfChanged(), 0);
}

TEST_F(TableProcessTest, ConcurrentWritersLoseNoRecord) {
    constexpr int kEach = 60;
    {
        test::Child first("table_add_users", {"a", std::to_string(kEach)});
        test::Child second("table_add_users", {"b", std::to_string(kEach)});
        ASSERT_EQ(first.Wait(), 0);
        ASSERT_EQ(second.Wait(), 0);
    }
    Users table("ZenUsr");
    ASSERT_EQ(table.Open(false), 1);
    ASSERT_EQ(table.Load(), 1);
    std::vector<std::string> expected;
    for (const char* prefix : {"a", "b"}) {
        for (int i = 0; i < kEach; ++i) {
            expected.push_back(Utf16ToUtf8(FieldText(Numbered(prefix, i).name)));
        }
    }
    EXPECT_EQ(Names(table), expected);
}

// Reads what the writer reported until the pipe ends; the last whole report wins.
uint32_t LastReport(int fd, uint32_t fallback) {
    uint32_t report = 0;
    while (::read(fd, &report, sizeof report) == static_cast<ssize_t>(sizeof report)) {
        fallback = report;
    }
    return fallback;
}

TEST_F(TableProcessTest, SaveKilledAtAnyMomentLeavesALoadableTable) {
    constexpr int kKills = 50;
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> pause(0, 4000);  // microseconds into the save loop
    uint32_t saved = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        SCOPED_TRACE("kill " + std::to_string(kill));
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        ::fcntl(ends[0], F_SETFD, FD_CLOEXEC);
        test::Child writer("table_grow_forever", {std::to_string(ends[1])});
        ::close(ends[1]);
        uint32_t first = 0;  // wait for one finished save, so that the kill lands in the loop
        if (::read(ends[0], &first, sizeof first) == static_cast<ssize_t>(sizeof first)) {
            saved = first;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
        writer.Kill(SIGKILL);
        EXPECT_EQ(writer.Wait(), 128 + SIGKILL);
        saved = LastReport(ends[0], saved);
        ::close(ends[0]);

        Users table("ZenUsr");
        ASSERT_EQ(table.Open(false), 1);
        ASSERT_EQ(table.Load(), 1);
        const std::size_t count = Count(table);
        // The last save either landed whole or not at all.
        ASSERT_GE(count, saved);
        ASSERT_LE(count, saved + 1);
        saved = static_cast<uint32_t>(count);
    }
    EXPECT_GT(saved, static_cast<uint32_t>(kKills));
    EXPECT_EQ(root.ErrorLog().find("Bad File Format"), std::string::npos);
}

}  // namespace
}  // namespace zen
