// Real programs (python3, curl) through LD_PRELOAD=libzensp.so, run as "kid" (a uid only the
// temporary root names) against loopback peers of the test, at allowed and forbidden moments
// (the Kids' timetable in force). Runs as root; skipped otherwise.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/db/access.h"
#include "common/db/records.h"
#include "filter/filter_texts.h"
#include "platform/clock.h"
#include "platform/local_time.h"
#include "preload_fixture.h"
#include "support/eventually.h"

namespace zen::test {
namespace {

using namespace std::chrono_literals;

// python3 and curl are not built with the sanitizers: a sanitized filter cannot be preloaded
// into them (its runtime must come first). The sanitized build runs the probe's tests instead.
class ForeignProgramTest : public PreloadTest {
protected:
    void SetUp() override {
        if (ZEN_SANITIZED) {
            GTEST_SKIP() << "a sanitized libzensp.so cannot be preloaded into python3 or curl";
        }
        PreloadTest::SetUp();
    }
};

struct ClientCase {
    const char* name;
    const char* command;
    const char* host;
    const char* server;
    const char* answer;
};

class ClientTest : public ForeignProgramTest, public ::testing::WithParamInterface<ClientCase> {};

TEST_P(ClientTest, PassesWhenAllowedAndIsRefusedWhenForbidden) {
    const ClientCase& c = GetParam();
    const std::vector<std::string> arguments{c.command, c.host, ports_[c.server]};
    const Lines allowed = Python(arguments, kAllowed);
    EXPECT_TRUE(Has(allowed, c.answer)) << Joined(allowed);
    EXPECT_TRUE(Warnings().empty());

    const Lines forbidden = Python(arguments, kForbidden);
    EXPECT_EQ(forbidden, Lines{"error EACCES socket"});
    EXPECT_EQ(WarningsOf(PythonProgram()), 1u);
    admin.Messages().ReloadIfChanged();
    admin.Messages().WithRecords([](MessagesTable::Set& messages) {
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(FieldText(messages.begin()->text), filter::FilterText(filter::kAccessRestricted));
    });
}

INSTANTIATE_TEST_SUITE_P(
    Python, ClientTest,
    ::testing::Values(ClientCase{"Tcp4", "tcp", "127.0.0.1", "tcp4", "ok recv pong"},
                      ClientCase{"Tcp6", "tcp", "::1", "tcp6", "ok recv pong"},
                      ClientCase{"Udp4", "udp", "127.0.0.1", "udp4", "ok recvfrom pong"},
                      ClientCase{"Udp6", "udp", "::1", "udp6", "ok recvfrom pong"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ForeignProgramTest, RefusalsCloseTogetherLeaveOneWarning) {
    const Lines lines = Python({"burst", "3", "::1"}, kForbidden);
    EXPECT_EQ(lines, Lines(3, "error EACCES socket"));
    // The messages of one second are equal records, which the table holds once.
    EXPECT_EQ(MessageCount(), 1u);
    EXPECT_EQ(WarningsOf(PythonProgram()), 1u);
}

TEST_F(ForeignProgramTest, CurlOverIpv4AndIpv6) {
    for (const std::string& url :
         {"http://127.0.0.1:" + ports_["tcp4"] + "/", "http://[::1]:" + ports_["tcp6"] + "/"}) {
        SCOPED_TRACE(url);
        auto allowed = Start({"/usr/bin/curl", "-gsS", url}, kAllowed);
        EXPECT_EQ(allowed->ReadLines(30s), Lines{"ok"});
        EXPECT_EQ(allowed->Wait(5s), 0);
        auto forbidden = Start({"/usr/bin/curl", "-gsS", url}, kForbidden);
        EXPECT_TRUE(forbidden->ReadLines(30s).empty());
        EXPECT_EQ(forbidden->Wait(5s), 7);  // could not connect
    }
    EXPECT_EQ(WarningsOf("/usr/bin/curl"), 2u);
}

TEST_F(ForeignProgramTest, ServerStopsAcceptingWhenTheRulesForbid) {
    auto server = Start({kPython, (root / "net_client.py").string(), "serve", "::1"}, kAllowed);
    ASSERT_EQ(server->ReadLine(30s), "ok listen ");
    const std::string port = server->ReadLine(5s).value_or("").substr(5);
    auto connect = [&] {
        return Program({kPython, (root / "net_client.py").string(), "tcp", "::1", port}, {});
    };
    connect().ReadLines(10s);
    EXPECT_EQ(server->ReadLine(10s), "ok accept ");
    // The server follows the change of rules while it runs.
    InternetAt(false);
    EXPECT_TRUE(Eventually([&] {
        connect().ReadLines(10s);
        return server->ReadLine(100ms) == "error EACCES accept";
    }));
    EXPECT_EQ(server->Wait(5s), 0);
    EXPECT_EQ(WarningsOf(PythonProgram()), 1u);
}

TEST_F(ForeignProgramTest, TheProgramsOwnClockAndZoneChangeNothing) {
    constexpr char kFaketime[] = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";
    if (::access(kFaketime, R_OK) != 0) {
        GTEST_SKIP() << "faketime is not installed";
    }
    // The root has no etc/localtime: the machine's zone is UTC. Only the quarter hours around
    // now are forbidden; the program's clock says six hours later, its zone twelve hours east.
    const LocalTime now = BreakDownUtc(Now());
    EditKids([&](FastUsersRecord& group) {
        FillTimetable(group.timetables[kInternetSlot], true);
        const int slot = SlotIndex(now.hour, now.minute);
        for (int near = std::max(0, slot - 1); near <= std::min(95, slot + 1); ++near) {
            group.timetables[kInternetSlot].rows[now.weekday][near / 8] &=
                static_cast<uint8_t>(~(1u << (near % 8)));
        }
    });
    const std::string later = "+6h";
    const Lines lines = Python({"tcp", "127.0.0.1", ports_["tcp4"]}, nullptr, kKidUid,
                               {"TZ=UTC-12", "LD_PRELOAD=" + std::string(kFaketime),
                                "FAKETIME=" + later, "FAKETIME_DONT_FAKE_MONOTONIC=1"});
    EXPECT_EQ(lines, Lines{"error EACCES socket"});
}

TEST_F(ForeignProgramTest, RootIsNeverRefused) {
    const Lines lines = Python({"tcp", "127.0.0.1", ports_["tcp4"]}, kForbidden, 0);
    EXPECT_TRUE(Has(lines, "ok recv pong")) << Joined(lines);
    EXPECT_TRUE(Warnings().empty());
}

TEST_F(ForeignProgramTest, RefusedSocketStaysTheApplications) {
    InternetAt(true);
    auto client =
        Start({kPython, (root / "net_client.py").string(), "reuse", "127.0.0.1", ports_["tcp4"]},
              nullptr);
    ASSERT_EQ(client->ReadLine(30s), "ok connected");
    InternetAt(false);
    const Lines lines = client->ReadLines(30s);
    EXPECT_EQ(lines, (Lines{"error EACCES send after refusal", "error EACCES recv after refusal",
                            "ok file number differs True", "ok file still readable 6",
                            "ok number reused True", "ok reused number readable 6"}));
    EXPECT_EQ(client->Wait(5s), 0);
}

TEST_F(ForeignProgramTest, FilesTheRulesKeptOpenAndTheProgramClosedAreNotWrittenTo) {
    InternetAt(true);
    auto client =
        Start({kPython, (root / "net_client.py").string(), "closeall", "127.0.0.1", ports_["tcp4"]},
              nullptr);
    ASSERT_EQ(client->ReadLine(30s), "ok ready");
    InternetAt(false);
    client->CloseInput();
    EXPECT_EQ(client->ReadLines(30s), (Lines{"error EACCES socket", "ok scratch bytes 0"}));
    EXPECT_EQ(client->Wait(5s), 0);
    EXPECT_EQ(WarningsOf(PythonProgram()), 1u);
}

TEST_F(ForeignProgramTest, HostileProgramsNeitherCrashNorHang) {
    InternetAt(true);
    const Lines lines = Python({"hostile", "127.0.0.1", ports_["tcp4"]}, nullptr);
    EXPECT_EQ(lines, (Lines{"ok fork", "ok send after vfork child 1", "ok threads",
                            "ok after closing every number 1"}));
}

TEST_F(ForeignProgramTest, UnreadableRulesRefuseWithoutRecord) {
    const std::filesystem::path empty = root / "empty";
    std::filesystem::create_directories(empty / "etc");
    std::filesystem::copy_file(root / "etc/passwd", empty / "etc/passwd");
    ::chmod(empty.c_str(), 0755);
    const Lines lines = Python({"tcp", "127.0.0.1", ports_["tcp4"]}, kAllowed, kKidUid,
                               {"ZEN_ROOT=" + empty.string()});
    EXPECT_EQ(lines, Lines{"error EACCES socket"});
    EXPECT_FALSE(std::filesystem::exists(empty / "var/lib/zentimo/Zenwgs.dat"));
    EXPECT_TRUE(Warnings().empty());
}

// Whatever state the rules library is in (gone, as in the middle of an upgrade, or failing
// inside because the account may start no thread), no program is aborted, root and system
// accounts are never refused, and the child is refused quietly.
struct BrokenRulesCase {
    const char* name;
    bool withoutRulesLibrary;
    bool threadsRefused;
};

class BrokenRulesTest : public ForeignProgramTest,
                        public ::testing::WithParamInterface<BrokenRulesCase> {};

TEST_P(BrokenRulesTest, OnlyTheChildIsRefusedAndNothingAborts) {
    const BrokenRulesCase& c = GetParam();
    if (c.withoutRulesLibrary) {
        const std::filesystem::path lonely = root / "lonely";
        std::filesystem::create_directories(lonely);
        std::filesystem::copy_file(library_, lonely / "libzensp.so");
        ::chmod(lonely.c_str(), 0755);
        library_ = (lonely / "libzensp.so").string();
    }
    const auto connect = [&](uid_t uid) {
        std::vector<std::string> command{kPython, (root / "net_client.py").string(), "tcp",
                                         "127.0.0.1", ports_["tcp4"]};
        if (c.threadsRefused) {
            // One process and no thread more for the account.
            command.insert(command.begin(), {"/usr/bin/prlimit", "--nproc=1"});
        }
        auto program = Start(command, kAllowed, uid);
        Lines lines = program->ReadLines(30s);
        EXPECT_EQ(program->Wait(5s), 0) << uid << ": " << Joined(lines);
        return lines;
    };
    constexpr uid_t kSystemAccount = 123;
    for (const uid_t uid : {0u, kSystemAccount}) {
        const Lines lines = connect(uid);
        EXPECT_TRUE(Has(lines, "ok recv pong")) << uid << ": " << Joined(lines);
    }
    EXPECT_EQ(connect(kKidUid), Lines{"error EACCES socket"});
    EXPECT_TRUE(Warnings().empty());
}

INSTANTIATE_TEST_SUITE_P(Filter, BrokenRulesTest,
                         ::testing::Values(BrokenRulesCase{"WithoutRulesLibrary", true, false},
                                           BrokenRulesCase{"RulesCannotStartTheirThread", false,
                                                           true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zen::test
