// Another account against the real zensvc: whatever it does to the shared objects and data
// files, and whatever lock it holds, the service goes on ticking in the same process, root's
// changes take effect, and damaged data files come back with their last good contents.
// Each start costs the 5 s before the first tick, so each run goes through several rounds.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <thread>

#include "common/db/db_manager.h"
#include "common/db/log_records.h"
#include "common/db/options_file.h"
#include "platform/named_mutex.h"
#include "platform/root.h"
#include "platform/text.h"
#include "service/other_account.h"
#include "service/zensvc_process.h"
#include "support/child_process.h"
#include "support/eventually.h"
#include "support/temp_root.h"
#include "zenctl/zenctl_runner.h"

namespace zen::test {
namespace {

namespace fs = std::filesystem;

enum class Damage { ForgedOwner, Garbage, Truncation, Deletion };

constexpr std::array kObjects = {
    "_QRT_OptionsMutex_",      "_QRT_StateMutex_", "ZenUsr", "ZenCtb", "ZenMsg", "Zenwgs", "Zenavt",
    "__Zentimo_Reload_Event__"};
constexpr std::array kObjectDamages = {Damage::ForgedOwner, Damage::Garbage, Damage::Truncation};
constexpr std::array kDataDamages = {Damage::Deletion, Damage::Truncation, Damage::Garbage};

// What the kid does to one file; false when the file could not be reached.
bool Inflict(const fs::path& file, Damage damage) {
    if (damage == Damage::Deletion) {
        return ::unlink(file.c_str()) == 0;
    }
    const UniqueFd fd(::open(file.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) {
        return false;
    }
    switch (damage) {
        case Damage::ForgedOwner: {
            // The lock word after the 8-byte header, naming pid 1's first thread.
            const uint64_t owner = (uint64_t{1} << 32) | 1;
            return ::pwrite(fd.get(), &owner, sizeof owner, 8) == sizeof owner;
        }
        case Damage::Garbage: {
            const std::string garbage(40, '\xA5');
            return ::pwrite(fd.get(), garbage.data(), garbage.size(), 0) ==
                       static_cast<ssize_t>(garbage.size()) &&
                   ::ftruncate(fd.get(), static_cast<off_t>(garbage.size())) == 0;
        }
        case Damage::Truncation:
            return ::ftruncate(fd.get(), 0) == 0;
        case Damage::Deletion:
            break;
    }
    return false;
}

// args: round, then "objects" or "data" and the files.
ZEN_CHILD(kid_damages) {
    if (!BecomeKid()) {
        return 90;
    }
    const std::size_t round = std::stoul(args.at(0));
    const bool objects = args.at(1) == "objects";
    for (std::size_t i = 2; i < args.size(); ++i) {
        const Damage damage = objects ? kObjectDamages[(i + round) % kObjectDamages.size()]
                                      : kDataDamages[(i + round) % kDataDamages.size()];
        if (!Inflict(args[i], damage)) {
            return 100 + static_cast<int>(i);
        }
    }
    return 0;
}

// Takes the users table's lock as the kid and stops with it held.
ZEN_CHILD(kid_holds_and_stops) {
    NamedMutex mutex;
    if (!BecomeKid() || !mutex.Open("ZenUsr") || !Holds(mutex.Lock())) {
        return 1;
    }
    ::raise(SIGSTOP);
    return 0;
}

class HostileAccountTest : public RootedTest {
protected:
    void SetUp() override {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "acting as another account needs root";
        }
        CreateDatabase();
        AddKidAccount(root);
        WriteAll(root / "run/zentimo/seat", std::string(kKidName) + "\n");
        service_ = std::make_unique<ZensvcProcess>(std::vector<std::string>{"-debug"});
        ASSERT_TRUE(service_->WaitForLines("zensvc: tick:", 1, 10s)) << service_->Stderr();
    }

    void TearDown() override {
        if (service_) {
            EXPECT_FALSE(service_->WaitExit(0ms)) << "the service ended: " << service_->Stderr();
        }
    }

    // Root moves the kid to `group`, and the service's next tick, due within 5 s, enforces
    // that group's rules.
    void ExpectRootMoveInForce(const std::string& group) {
        const std::string line =
            "console user \"" + std::string(kKidName) + "\", rules of \"" + group + "\"";
        const int before = CountLines(service_->Stderr(), line);
        const ZenctlResult moved = Zenctl({"move", kKidName, group});
        EXPECT_EQ(moved.code, 0) << moved.err;
        EXPECT_TRUE(service_->WaitForLines(line, before + 1, 7s)) << service_->Stderr();
    }

    // Waits for the next tick; called just after a tick's line, it is a whole tick that began
    // after everything saved before that line, and copied it as the last good version.
    void ExpectNextTick() {
        const int ticks = CountLines(service_->Stderr(), "zensvc: tick:");
        EXPECT_TRUE(service_->WaitForLines("zensvc: tick:", ticks + 1, 7s)) << service_->Stderr();
    }

    std::unique_ptr<ZensvcProcess> service_;
};

// Whether the process stopped (state T in /proc).
bool IsStopped(pid_t pid) {
    const std::string stat = ReadAll("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'T';
}

TEST_F(HostileAccountTest, DamagedObjectsAndAStoppedHolderNeverStopTheTicks) {
    // The users table's lock, which both the tick and the move need, held for good.
    Child holder("kid_holds_and_stops");
    ASSERT_TRUE(Eventually([&] { return IsStopped(holder.pid()); }));
    ExpectRootMoveInForce("Administrators");
    holder.Kill(SIGKILL);
    holder.Wait();

    const std::vector<std::string> groups = {"Users", "Administrators", "Guests"};
    for (std::size_t round = 0; round < kObjectDamages.size(); ++round) {
        std::vector<std::string> args = {std::to_string(round), "objects"};
        for (const char* object : kObjects) {
            args.push_back((paths::RunDir() / object).string());
        }
        ASSERT_EQ(RunChild("kid_damages", args), 0) << "round " << round;
        ExpectRootMoveInForce(groups[round]);
    }
}

TEST_F(HostileAccountTest, DamagedDataFilesComeBackWithTheirLastGoodContents) {
    const std::vector<fs::path> files = {
        OptionsFilePath(),
        paths::DataDir() / "ZenUsr.dat",
        paths::DataDir() / "ZenCtb.dat",
        paths::DataDir() / "ZenMsg.dat",
        paths::DataDir() / "Zenwgs.dat",
        paths::DataDir() / "Zenavt.dat",
    };
    ExpectRootMoveInForce("Users");
    for (std::size_t round = 0; round < kDataDamages.size(); ++round) {
        ExpectNextTick();
        std::map<fs::path, std::string> good;
        for (const fs::path& file : files) {
            good[file] = ReadAll(file);
        }
        std::vector<std::string> args = {std::to_string(round), "data"};
        for (const fs::path& file : files) {
            args.push_back(file.string());
        }
        ASSERT_EQ(RunChild("kid_damages", args), 0) << "round " << round;
        // Back at the next tick; the warnings log also gains the restore's own records.
        const auto restored = [&] {
            return std::ranges::all_of(files, [&](const fs::path& file) {
                return file.filename() == "Zenwgs.dat" ? ReadAll(file).size() > good[file].size()
                                                       : ReadAll(file) == good[file];
            });
        };
        for (int wait = 0; wait < 70 && !restored(); ++wait) {
            std::this_thread::sleep_for(100ms);
        }
        for (const fs::path& file : files) {
            if (file.filename() != "Zenwgs.dat") {
                EXPECT_TRUE(ReadAll(file) == good[file]) << file << " in round " << round;
            }
            struct stat status {};
            ASSERT_EQ(::stat(file.c_str(), &status), 0) << file;
            EXPECT_EQ(status.st_mode & 07777, 0666u) << file;
        }
        ExpectRootMoveInForce(round % 2 == 0 ? "Guests" : "Users");
    }

    // One warning per damaged file and round, naming it.
    CDBManager db;
    ASSERT_EQ(db.Init(false), 1);
    std::map<std::u16string, int> restored;
    VisitLog<WarningRecord>(db.Warnings(), [&](const WarningRecord& record) {
        if (FieldText(record.text) == u"Damaged data file restored") {
            ++restored[std::u16string(FieldText(record.program))];
        }
    });
    for (const fs::path& file : files) {
        EXPECT_EQ(restored[Utf8ToUtf16(file.filename().string())],
                  static_cast<int>(kDataDamages.size()))
            << file;
    }
    // The copies are root's alone.
    struct stat backups {};
    ASSERT_EQ(::stat(paths::BackupDir().c_str(), &backups), 0);
    EXPECT_EQ(backups.st_mode & 07777, 0700u);
    EXPECT_EQ(backups.st_uid, 0u);
}

}  // namespace
}  // namespace zen::test
