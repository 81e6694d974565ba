// Real programs (python3, curl) through LD_PRELOAD=libzensp.so, run as "kid" (a uid only the
// temporary root names) against loopback peers of the test, at allowed and forbidden moments
// (faketime). Runs as root; skipped otherwise.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "common/db/records.h"
#include "common/db/rules_editor.h"
#include "filter/filter_texts.h"
#include "filter_fixture.h"
#include "platform/text.h"
#include "program_run.h"
#include "support/eventually.h"

namespace zen::test {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

constexpr char kPython[] = "/usr/bin/python3";
constexpr char kFaketime[] = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";
// Tuesday: the Internet of Kids is closed from 10:00 to 11:00.
constexpr char kForbidden[] = "@2024-03-05 10:16:00";
constexpr char kAllowed[] = "@2024-03-05 12:00:00";
constexpr int kTuesday = 2;

bool Has(const Lines& lines, std::string_view line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string Joined(const Lines& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\n";
    }
    return text;
}

class PreloadTest : public FilterRootTest {
protected:
    void SetUp() override {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "running programs as a uid only the temporary root names needs root";
        }
        if (::access(kFaketime, R_OK) != 0) {
            GTEST_SKIP() << "faketime is not installed";
        }
        FilterRootTest::SetUp();
        ::chmod(root.path().c_str(), 0755);
        for (const char* script : {"net_client.py", "loopback_server.py"}) {
            std::filesystem::copy_file(std::filesystem::path(FILTER_TEST_DIR) / script,
                                       root / script);
        }
        EditKids([](FastUsersRecord& group) {
            group.Internet = 1;
            FillTimetable(group.timetables[kInternetSlot], true);
            for (int slot = 40; slot < 44; ++slot) {
                group.timetables[kInternetSlot].rows[kTuesday][slot / 8] &=
                    static_cast<uint8_t>(~(1u << (slot % 8)));
            }
        });
        server_.emplace(std::vector<std::string>{kPython, (root / "loopback_server.py").string()},
                        Program::Options{});
        std::istringstream ports(server_->ReadLine(10s).value_or(""));
        std::string name;
        int port = 0;
        while (ports >> name >> port) {
            ports_[name] = std::to_string(port);
        }
        ASSERT_EQ(ports_.size(), 4u) << "the loopback server did not start";
    }

    // A program through the filter at a moment (faketime), as kid unless another uid is given.
    std::unique_ptr<Program> Start(const std::vector<std::string>& command, const char* moment,
                                   uid_t uid = kKidUid, std::vector<std::string> environment = {}) {
        // Without a moment the real clock runs, under rules that allow every hour.
        environment.push_back("LD_PRELOAD=" + std::string(ZENSP_PATH) +
                              (moment != nullptr ? std::string(" ") + kFaketime : ""));
        if (moment != nullptr) {
            environment.push_back("FAKETIME=" + std::string(moment));
            environment.push_back("FAKETIME_DONT_FAKE_MONOTONIC=1");
        }
        environment.push_back("TZ=UTC0");
        return std::make_unique<Program>(command, Program::Options{uid, environment});
    }

    Lines Python(const std::vector<std::string>& arguments, const char* moment, uid_t uid = kKidUid,
                 std::vector<std::string> environment = {}) {
        std::vector<std::string> command{kPython, (root / "net_client.py").string()};
        command.insert(command.end(), arguments.begin(), arguments.end());
        auto program = Start(command, moment, uid, std::move(environment));
        Lines lines = program->ReadLines(30s);
        EXPECT_EQ(program->Wait(5s), 0) << Joined(lines);
        return lines;
    }

    void InternetAt(bool allowed) {
        EditKids([&](FastUsersRecord& group) {
            FillTimetable(group.timetables[kInternetSlot], allowed);
        });
    }

    std::size_t WarningsOf(std::string_view program) {
        const auto warnings = Warnings();
        return std::count_if(warnings.begin(), warnings.end(), [&](const WarningRecord& record) {
            return Utf16ToUtf8(FieldText(record.program)) == program && record.kind == 7 &&
                   FieldText(record.user) == u"kid";
        });
    }

    std::optional<Program> server_;
    std::map<std::string, std::string> ports_;
};

struct ClientCase {
    const char* name;
    const char* command;
    const char* host;
    const char* server;
    const char* answer;
};

class ClientTest : public PreloadTest, public ::testing::WithParamInterface<ClientCase> {};

TEST_P(ClientTest, PassesWhenAllowedAndIsRefusedWhenForbidden) {
    const ClientCase& c = GetParam();
    const std::vector<std::string> arguments{c.command, c.host, ports_[c.server]};
    const Lines allowed = Python(arguments, kAllowed);
    EXPECT_TRUE(Has(allowed, c.answer)) << Joined(allowed);
    EXPECT_TRUE(Warnings().empty());

    const Lines forbidden = Python(arguments, kForbidden);
    EXPECT_EQ(forbidden, Lines{"error EACCES socket"});
    EXPECT_EQ(WarningsOf("/usr/bin/python3.11"), 1u);
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

TEST_F(PreloadTest, CurlOverIpv4AndIpv6) {
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

TEST_F(PreloadTest, ServerStopsAcceptingWhenTheRulesForbid) {
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
    EXPECT_EQ(WarningsOf("/usr/bin/python3.11"), 1u);
}

TEST_F(PreloadTest, RootIsNeverRefused) {
    const Lines lines = Python({"tcp", "127.0.0.1", ports_["tcp4"]}, kForbidden, 0);
    EXPECT_TRUE(Has(lines, "ok recv pong")) << Joined(lines);
    EXPECT_TRUE(Warnings().empty());
}

TEST_F(PreloadTest, RefusedSocketStaysTheApplications) {
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

TEST_F(PreloadTest, HostileProgramsNeitherCrashNorHang) {
    InternetAt(true);
    const Lines lines = Python({"hostile", "127.0.0.1", ports_["tcp4"]}, nullptr);
    EXPECT_EQ(lines, (Lines{"ok fork", "ok send after vfork child 1", "ok threads",
                            "ok after closing every number 1"}));
}

TEST_F(PreloadTest, UnreadableRulesRefuseWithoutRecord) {
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

}  // namespace
}  // namespace zen::test
