// The process list that follows the kernel's events shows, at every visit, what a whole read
// of /proc shows: after starts, renames and removals of a running program's file, changes of
// credentials and ends.
#include "platform/process_list.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <tuple>
#include <vector>

#include "support/child_process.h"
#include "support/eventually.h"
#include "support/program_run.h"
#include "support/temp_root.h"

namespace zen::test {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kFirstUid = 47021;
constexpr uid_t kSecondUid = 47022;

using Seen = std::vector<std::tuple<pid_t, uid_t, std::string, uint64_t, uint64_t>>;

Seen Visit(ProcessList& list) {
    Seen seen;
    list.Visit([](uid_t uid) { return uid == kFirstUid || uid == kSecondUid; },
               [&](const ProcessInfo& p) {
                   seen.emplace_back(p.pid, p.realUid, p.path, p.executable.inode, p.startTicks);
               });
    return seen;
}

ZEN_CHILD(later_second_uid) {
    ::usleep(300'000);
    if (::syscall(SYS_setresuid, kSecondUid, kSecondUid, kSecondUid) != 0) {
        return 1;
    }
    ::pause();
    return 0;
}

class ProcessListTest : public RootedTest {
protected:
    void SetUp() override {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "needs root: the kernel's process events and other accounts' programs";
        }
        if (::getpwuid(kFirstUid) != nullptr || ::getpwuid(kSecondUid) != nullptr) {
            GTEST_SKIP() << "the test's uids are accounts of this machine";
        }
        ASSERT_TRUE(events.FollowsEvents());
        InstallProgram("/bin/sleep", program);
    }

    // Both lists agree, and on what the test expects.
    void ExpectBoth(const std::function<bool(const Seen&)>& expected) {
        const Seen followed = Visit(events);
        EXPECT_EQ(followed, Visit(whole));
        EXPECT_TRUE(expected(followed));
    }

    fs::path program = root / "bin/game";
    ProcessList events{ProcessList::Mode::FollowEvents};
    ProcessList whole{ProcessList::Mode::ReadWhole};
};

TEST_F(ProcessListTest, FollowsStartsRenamesRemovalsCredentialsAndEnds) {
    ProgramRun game(program, kFirstUid);
    ASSERT_TRUE(Eventually([&] { return game.Started(); }));
    ExpectBoth([&](const Seen& seen) {
        return seen.size() == 1 && std::get<2>(seen[0]) == program.string();
    });

    const fs::path renamed = root / "bin/renamed";
    fs::rename(program, renamed);
    ExpectBoth([&](const Seen& seen) {
        return seen.size() == 1 && std::get<2>(seen[0]) == renamed.string();
    });
    fs::remove(renamed);
    ExpectBoth([&](const Seen& seen) {
        return seen.size() == 1 && std::get<2>(seen[0]) == renamed.string() + " (deleted)";
    });

    Child switcher("later_second_uid");
    ASSERT_TRUE(Eventually([&] { return Visit(whole).size() == 2; }));
    ExpectBoth(
        [&](const Seen& seen) { return seen.size() == 2 && std::get<1>(seen[1]) == kSecondUid; });

    game.Kill();
    switcher.Kill(SIGKILL);
    switcher.Wait();
    ExpectBoth([](const Seen& seen) { return seen.empty(); });
}

}  // namespace
}  // namespace zen::test
