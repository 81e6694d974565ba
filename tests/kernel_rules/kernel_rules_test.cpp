// The real zensvc keeps the Internet rules in the kernel of a private network namespace: a
// child's programs that the preloaded filter never sees (a static binary, raw system calls,
// a DNS query) are refused at a forbidden moment, root's and an unrestricted parent's pass,
// loopback stays open, and the rules follow zenctl's edits within a tick, outlive the
// service and go with the removal.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "common/db/access.h"
#include "common/db/rules_editor.h"
#include "filter/filter_fixture.h"
#include "platform/internet_table.h"
#include "platform/text.h"
#include "private_network.h"
#include "service/zensvc_process.h"
#include "zenctl/zenctl_runner.h"

namespace zen::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr uid_t kKidUid24 = 62401;
constexpr uid_t kParentUid = 62402;
constexpr char16_t kParents[] = u"Parents";
constexpr char kPython[] = "/usr/bin/python3";
constexpr char kFaketime[] = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";
// A tick and a half: what "within a tick" may take with the service's own slack.
constexpr auto kWithinATick = 8s;

struct Attempt {
    const char* what;
    std::vector<std::string> command;
};

class KernelRulesTest : public FilterRootTest {
protected:
    void SetUp() override {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "network namespaces and other uids need root";
        }
        FilterRootTest::SetUp();
        if (const auto failure = PrivateNetwork::Enter(network_)) {
            GTEST_SKIP() << *failure;
        }
        if (!InternetTable().Remove()) {
            GTEST_SKIP() << "no nf_tables in this kernel";
        }
        WriteAll(root / "etc/passwd",
                 "root:x:0:0::/root:/bin/sh\n"
                 "kid:x:62401:62401::/nonexistent:/bin/sh\n"
                 "mum:x:62402:62402::/nonexistent:/bin/sh\n");
        ASSERT_EQ(AddGroup(admin, kParents), EditStatus::Done);
        ASSERT_EQ(AddUser(admin, u"mum", kParents), EditStatus::Done);
        ASSERT_EQ(SetDisable(admin, kParents, true), EditStatus::Done);
        ::chmod(root.path().c_str(), 0755);
        probe_ = root / "net_probe";
        fs::copy_file(NET_PROBE_PATH, probe_);
        rawCalls_ = root / "raw_calls.py";
        fs::copy_file(fs::path(KERNEL_RULES_TEST_DIR) / "raw_calls.py", rawCalls_);
    }

    void TearDown() override {
        service_.reset();
        FilterRootTest::TearDown();
    }

    void KidsInternet(bool allowed) {
        EditKids([&](FastUsersRecord& group) {
            group.Internet = 1;
            FillTimetable(group.timetables[kInternetSlot], allowed);
        });
    }

    void StartService(const std::vector<std::string>& prefix = {}) {
        service_ = std::make_unique<ZensvcProcess>(std::vector<std::string>{"-debug"}, prefix);
        ASSERT_TRUE(service_->WaitForLines("zensvc: running", 1, 10s)) << service_->Stderr();
    }

    // What the outside sees of each way a program may reach it.
    std::vector<Attempt> Outside() const {
        return {
            {"static TCP over IPv4", {probe_, "tcp", kOutsideV4, kServicePort}},
            {"static TCP over IPv6", {probe_, "tcp", kOutsideV6, kServicePort}},
            {"static UDP datagram", {probe_, "udp", kOutsideV4, kServicePort}},
            {"ctypes syscall connect", {kPython, rawCalls_, "connect", kOutsideV4, kServicePort}},
            {"DNS query", {kPython, rawCalls_, "dns", kOutsideV4}},
        };
    }

    static std::string Outcome(const Attempt& attempt, uid_t uid,
                               std::vector<std::string> environment = {}) {
        Program program(attempt.command, Program::Options{uid, std::move(environment)});
        const auto line = program.ReadLine(15s);
        program.Wait(5s);
        return line.value_or("no answer");
    }

    static bool Refused(const std::string& outcome) { return outcome.rfind("error ", 0) == 0; }
    static bool Passed(const std::string& outcome) { return outcome.rfind("ok ", 0) == 0; }

    void ExpectKid(bool refused) {
        for (const Attempt& attempt : Outside()) {
            const std::string outcome = Outcome(attempt, kKidUid24);
            EXPECT_TRUE(refused ? Refused(outcome) : Passed(outcome))
                << attempt.what << ": " << outcome;
        }
    }

    bool KidRefusedWithin(bool refused, std::chrono::seconds limit) {
        const Attempt tcp = Outside().front();
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            const std::string outcome = Outcome(tcp, kKidUid24);
            if (refused ? Refused(outcome) : Passed(outcome)) {
                return true;
            }
            std::this_thread::sleep_for(250ms);
        }
        return false;
    }

    std::unique_ptr<PrivateNetwork> network_;
    std::unique_ptr<ZensvcProcess> service_;
    std::string probe_;
    std::string rawCalls_;
};

TEST_F(KernelRulesTest, ForbiddenChildIsRefusedInTheKernelAndTheRulesFollowTheParent) {
    KidsInternet(false);
    StartService();

    // The table is in force from the start, before the first tick.
    for (const Attempt& attempt : Outside()) {
        const std::string kid = Outcome(attempt, kKidUid24);
        EXPECT_TRUE(Refused(kid)) << attempt.what << ": " << kid;
        EXPECT_TRUE(Passed(Outcome(attempt, kParentUid))) << attempt.what;
        EXPECT_TRUE(Passed(Outcome(attempt, 0))) << attempt.what;
    }
    // The child's own clock and zone are nothing to the kernel.
    const Attempt raw = Outside()[3];
    EXPECT_TRUE(Refused(Outcome(
        raw, kKidUid24,
        {"TZ=UTC-12", "LD_PRELOAD=" + std::string(kFaketime), "FAKETIME=@2026-12-08 10:00:00"})));
    // Loopback is not the Internet.
    for (const char* host : {"127.0.0.1", "::1"}) {
        EXPECT_TRUE(Passed(Outcome({"loopback", {probe_, "tcp", host, kLoopbackPort}}, kKidUid24)))
            << host;
    }

    const ZenctlResult status = Zenctl({"status"});
    EXPECT_NE(status.out.find("\n  kid: internet: forbidden (kernel rule active)\n"),
              std::string::npos)
        << status.out;
    // A group with filtering disabled is never matched.
    EXPECT_EQ(status.out.find("mum:"), std::string::npos) << status.out;
    const ZenctlResult json = Zenctl({"status", "--json"});
    EXPECT_NE(json.out.find("\"kernelRule\": true"), std::string::npos) << json.out;

    // The parent allows the Internet: the rule is gone within a tick, and back after forbidding.
    ASSERT_EQ(Zenctl({"allow", "Kids", "internet", "all"}).code, 0);
    ASSERT_TRUE(KidRefusedWithin(false, kWithinATick)) << service_->Stderr();
    ExpectKid(false);
    EXPECT_NE(Zenctl({"status"}).out.find("  kid: internet: allowed (no kernel rule)\n"),
              std::string::npos);
    ASSERT_EQ(Zenctl({"forbid", "Kids", "internet", "all"}).code, 0);
    ASSERT_TRUE(KidRefusedWithin(true, kWithinATick)) << service_->Stderr();

    // A killed service leaves the rules in force; a restart keeps them.
    ::kill(service_->pid(), SIGKILL);
    service_->WaitExit(5s);
    EXPECT_TRUE(InternetTable().Exists());
    ExpectKid(true);
    StartService();
    ExpectKid(true);
    ::kill(service_->pid(), SIGKILL);
    service_->WaitExit(5s);

    // The removal takes the table away.
    Program removal({ZENSVC_PATH, "-removeAll"}, Program::Options{});
    removal.ReadLines(30s);
    EXPECT_EQ(removal.Wait(30s), std::optional<int>(0));
    EXPECT_FALSE(InternetTable().Exists());
    ExpectKid(false);
}

TEST_F(KernelRulesTest, KernelCountedMinutesUseUpTheDailyLimit) {
    KidsInternet(true);
    ASSERT_EQ(SetLimitEnabled(admin, kKids, Category::Internet, true), EditStatus::Done);
    ASSERT_EQ(SetLimitMinutes(admin, kKids, Category::Internet, 0x7F, 2), EditStatus::Done);
    StartService();

    // One exchange a second through a static binary, for three minutes.
    Program download({probe_, "download", "180", kOutsideV4, kServicePort},
                     Program::Options{kKidUid24, {}});
    std::optional<int> cutAt;
    while (const auto line = download.ReadLine(20s)) {
        int at = 0;
        if (std::sscanf(line->c_str(), "at %d error", &at) == 1 &&
            line->find(" error ") != std::string::npos) {
            cutAt = at;
            break;
        }
    }
    ASSERT_TRUE(cutAt) << service_->Stderr();
    // Cut off once the second counted minute is over, not before.
    EXPECT_GE(*cutAt, 115);
    EXPECT_LE(*cutAt, 135);
    EXPECT_EQ(MinutesUsedToday(admin.Users(), admin.StateMutex(), u"kid", Category::Internet), 2u);
    EXPECT_NE(Zenctl({"status"}).out.find("  kid: internet: forbidden (kernel rule active)\n"),
              std::string::npos);
}

TEST_F(KernelRulesTest, WithoutTheKernelsFilterTheServiceSaysSoOnceAndTheFilterStays) {
    KidsInternet(false);
    // A service that may not change the packet filter meets what a kernel without nf_tables
    // answers.
    StartService({"/usr/bin/setpriv", "--bounding-set=-net_admin", "--inh-caps=-net_admin"});
    ASSERT_TRUE(service_->WaitForLines("zensvc: tick:", 2, 15s)) << service_->Stderr();
    EXPECT_EQ(CountLines(root.ErrorLog(), "Internet rules in the kernel: nf_tables refused"), 1)
        << root.ErrorLog();
    const auto warnings = Warnings();
    EXPECT_EQ(std::count_if(warnings.begin(), warnings.end(),
                            [](const WarningRecord& record) {
                                return FieldText(record.program) == std::u16string_view(u"zensvc");
                            }),
              1);
    EXPECT_FALSE(InternetTable().Exists());
    EXPECT_NE(Zenctl({"status"}).out.find("kernel rules: unavailable"), std::string::npos);
}

}  // namespace
}  // namespace zen::test
