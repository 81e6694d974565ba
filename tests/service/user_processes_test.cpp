// Logoff ends every process of the user, one that ignores SIGTERM and a fork chain too: by
// the kernel's cgroup.kill of the user slice (a cgroup the test made stands in for it), and
// without one by the signal loop.
#include "platform/user_processes.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/cgroup_kill.h"
#include "platform/process_owner.h"
#include "platform/system_actions.h"
#include "support/child_process.h"
#include "support/eventually.h"
#include "support/temp_root.h"

namespace zen::test {
namespace {

// A uid that no account of the machine uses; the children take it.
constexpr uid_t kChildUid = 61'731;

// args: "polite" (ends on SIGTERM), "stubborn" (ignores it), "root" (stubborn, keeps root's uid).
ZEN_CHILD(wait_as_child_uid) {
    if (args.at(0) != "polite") {
        ::signal(SIGTERM, SIG_IGN);
    }
    if (args.at(0) != "root" && (::setresgid(kChildUid, kChildUid, kChildUid) != 0 ||
                                 ::setresuid(kChildUid, kChildUid, kChildUid) != 0)) {
        return 1;
    }
    for (;;) {
        ::pause();
    }
}

int ProcessesOf(uid_t uid) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") == std::string::npos &&
            ProcessRealUid(std::stoi(name)) == uid) {
            ++count;
        }
    }
    return count;
}

// Another uid no account of the machine uses, for the fork chains.
constexpr uid_t kChainUid = 62'931;
constexpr int kChainLength = 600;

// args: cgroup directory to join first ("-": none). Ignoring SIGTERM, builds a chain of 600
// processes, each waiting for ever, whose last one forks and exits in a loop, so that a walk
// over /proc never sees the whole account.
ZEN_CHILD(fork_chain_as_chain_uid) {
    if (args.at(0) != "-") {
        std::ofstream(args[0] + "/cgroup.procs") << ::getpid() << std::flush;
    }
    ::signal(SIGTERM, SIG_IGN);
    if (::setresgid(kChainUid, kChainUid, kChainUid) != 0 ||
        ::setresuid(kChainUid, kChainUid, kChainUid) != 0) {
        return 1;
    }
    for (int link = 0; link < kChainLength; ++link) {
        if (::fork() != 0) {
            for (;;) {
                ::pause();
            }
        }
    }
    for (;;) {
        if (::fork() > 0) {
            ::_exit(0);
        }
    }
}

// Starts the chain and a lone process that ignores SIGTERM; waits until all 600 run.
struct ChainOfTheAccount {
    explicit ChainOfTheAccount(const std::string& cgroup)
        : chain("fork_chain_as_chain_uid", {cgroup}) {
        // Forking 600 processes takes a loaded machine a while.
        for (int wait = 0; wait < 600 && ProcessesOf(kChainUid) < kChainLength; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        EXPECT_GE(ProcessesOf(kChainUid), kChainLength);
    }
    // Whatever a failed test left is ended for sure.
    ~ChainOfTheAccount() { EndUserProcesses(kChainUid, std::chrono::milliseconds(0)); }
    Child chain;
};

TEST(UserProcessesTest, TermThenKillEndsEveryProcessOfTheUserAndNoOther) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to run processes under another uid";
    }
    ASSERT_FALSE(AnyProcessOf(kChildUid)) << "uid " << kChildUid << " is in use on this machine";
    Child polite("wait_as_child_uid", {"polite"});
    Child stubborn("wait_as_child_uid", {"stubborn"});
    Child bystander("wait_as_child_uid", {"root"});
    ASSERT_TRUE(Eventually([&] {
        return ProcessRealUid(polite.pid()) == kChildUid &&
               ProcessRealUid(stubborn.pid()) == kChildUid;
    }));

    EXPECT_TRUE(EndUserProcesses(kChildUid, std::chrono::milliseconds(300)));
    EXPECT_EQ(polite.Wait(), 128 + SIGTERM);
    EXPECT_EQ(stubborn.Wait(), 128 + SIGKILL);
    EXPECT_EQ(::kill(bystander.pid(), 0), 0);
}

}  // namespace
}  // namespace zen::test

namespace zen::test {
namespace {

bool SkipWithoutRoot() {
    return ::geteuid() != 0 || ProcessesOf(kChainUid) != 0;
}

TEST(UserProcessesTest, SignalLoopEndsAForkChainAndReportsNothingLeft) {
    if (SkipWithoutRoot()) {
        GTEST_SKIP() << "needs root and a free uid " << kChainUid;
    }
    ChainOfTheAccount account("-");
    EXPECT_TRUE(EndUserProcesses(kChainUid, std::chrono::milliseconds(300)));
    ASSERT_EQ(ProcessesOf(kChainUid), 0);
    EXPECT_EQ(account.chain.Wait(), 128 + SIGKILL);
}

TEST(UserProcessesTest, RootAndSystemAccountsAreNeverSignalled) {
    for (const uid_t uid : {0u, 1u, 999u}) {
        EXPECT_FALSE(EndUserProcesses(uid, std::chrono::milliseconds(0))) << uid;
    }
    EXPECT_GT(ProcessesOf(0), 0);
}

// A cgroup of the test's own under the machine's cgroup v2 mount, standing in for user.slice.
class UserSliceStandIn {
public:
    explicit UserSliceStandIn(const TempRoot& root) {
        const auto mount = Cgroup2Mount();
        if (!mount) {
            return;
        }
        parent_ = *mount / ("zentimo-test-" + std::to_string(::getpid()));
        std::error_code error;
        std::filesystem::create_directories(parent_ / slice(), error);
        if (error) {
            parent_.clear();
            return;
        }
        std::filesystem::create_directories(root / "run/zentimo");
        WriteAll(root / "run/zentimo/user-slice", parent_.string() + "\n");
    }
    ~UserSliceStandIn() {
        if (!parent_.empty()) {
            KillCgroup(parent_, std::chrono::seconds(2));
            ::rmdir((parent_ / slice()).c_str());
            ::rmdir(parent_.c_str());
        }
    }
    bool made() const { return !parent_.empty(); }
    std::filesystem::path path() const { return parent_ / slice(); }

private:
    static std::string slice() { return "user-" + std::to_string(kChainUid) + ".slice"; }
    std::filesystem::path parent_;
};

TEST(UserProcessesTest, LogoffEndsTheUserSliceWithCgroupKill) {
    if (SkipWithoutRoot()) {
        GTEST_SKIP() << "needs root and a free uid " << kChainUid;
    }
    TempRoot root;
    std::filesystem::create_directories(root / "etc");
    WriteAll(root / "etc/passwd", "chain:x:62931:62931::/:/bin/false\n");
    UserSliceStandIn standIn(root);
    if (!standIn.made()) {
        GTEST_SKIP() << "no cgroup v2 sub-tree can be made here";
    }
    ASSERT_EQ(UserSliceCgroup(kChainUid), standIn.path());
    ChainOfTheAccount account(standIn.path().string());
    ASSERT_TRUE(std::filesystem::exists(standIn.path() / "cgroup.kill")) << "kernel before 5.14";

    // True only when the slice emptied within its bound.
    EXPECT_TRUE(MakeSystemActions(Env())->LogOff({"", "chain"}));
    ASSERT_EQ(ProcessesOf(kChainUid), 0);
    EXPECT_EQ(account.chain.Wait(), 128 + SIGKILL);
    EXPECT_NE(ReadAll(root / "run/zentimo/actions.log").find("logoff session=- user=chain"),
              std::string::npos);
}

TEST(UserProcessesTest, TheMachinesOwnSlicesNeverStandIn) {
    const auto mount = Cgroup2Mount();
    if (!mount) {
        GTEST_SKIP() << "no cgroup v2";
    }
    TempRoot root;
    std::filesystem::create_directories(root / "run/zentimo");
    for (const std::filesystem::path& named : {*mount, *mount / "user.slice", root.path()}) {
        SCOPED_TRACE(named);
        WriteAll(root / "run/zentimo/user-slice", named.string() + "\n");
        EXPECT_EQ(UserSliceCgroup(1000), std::nullopt);
    }
}

}  // namespace
}  // namespace zen::test
