// Logoff without logind: every process of the user ends, one that ignores SIGTERM too.
#include "platform/user_processes.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/process_owner.h"
#include "support/child_process.h"
#include "support/eventually.h"

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

bool AnyProcessOf(uid_t uid) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") == std::string::npos &&
            ProcessRealUid(std::stoi(name)) == uid) {
            return true;
        }
    }
    return false;
}

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
