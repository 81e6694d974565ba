// Asynchronous socket operations through libzensp.so: POSIX AIO on tracked sockets goes
// through the filter's engine and its checks; sendfile onto one is a checked send. The probe
// runs as kid; the rules change under it while it runs.
#include <gtest/gtest.h>

#include "preload_fixture.h"

namespace zen::test {
namespace {

using namespace std::chrono_literals;

class AioTest : public PreloadTest {
protected:
    std::unique_ptr<Program> Probe(const std::vector<std::string>& arguments) {
        std::vector<std::string> command{AIO_PROBE_PATH};
        command.insert(command.end(), arguments.begin(), arguments.end());
        // The sanitizer build's probe is checked for leaks at its exit, preloaded or not.
        return Start(command, nullptr, kKidUid, {"ASAN_OPTIONS=verify_asan_link_order=0"});
    }
};

TEST_F(AioTest, ReadsAndWritesInEachWayOfNotification) {
    InternetAt(true);
    auto probe = Probe({"notify"});
    Lines before;
    while (auto line = probe->ReadLine(30s)) {
        if (*line == "ready") {
            break;
        }
        before.push_back(*line);
    }
    EXPECT_EQ(before, (Lines{"none write 4 read 4 ping", "signal write 4 read 4 ping",
                             "thread write 4 read 4 ping"}));
    InternetAt(false);
    probe->CloseInput();
    EXPECT_EQ(probe->ReadLines(30s),
              (Lines{"none write EACCES read EACCES", "signal write EACCES read EACCES",
                     "thread write EACCES read EACCES"}));
    EXPECT_EQ(probe->Wait(5s), 0);
    EXPECT_EQ(WarningsOf(AIO_PROBE_PATH), 1u);
}

TEST_F(AioTest, ExhaustedPoolFailsAtOnceAndPendingOperationsAreCancelledOrLeftAtExit) {
    InternetAt(true);
    auto probe = Probe({"exhaust"});
    EXPECT_EQ(probe->ReadLines(30s),
              (Lines{"submitted 999", "1000th EAGAIN at once", "pending EINPROGRESS",
                     "cancel AIO_CANCELED ECANCELED", "left pending EINPROGRESS"}));
    EXPECT_EQ(probe->Wait(5s), 0);
}

TEST_F(AioTest, WritesThatWaitKeepTheirOrder) {
    InternetAt(true);
    auto probe = Probe({"order"});
    EXPECT_EQ(probe->ReadLines(60s), Lines{"order kept"});
    EXPECT_EQ(probe->Wait(5s), 0);
}

TEST_F(AioTest, ListsOfNineOperations) {
    InternetAt(true);
    auto probe = Probe({"list"});
    EXPECT_EQ(probe->ReadLines(30s), (Lines{"lio wait 0 all bytes", "lio nowait 0 told 9"}));
    EXPECT_EQ(probe->Wait(5s), 0);
}

TEST_F(AioTest, WakeUpClosedByTheProgramIsRenewedAndItsNumbersLeftAlone) {
    InternetAt(true);
    auto probe = Probe({"closeall"});
    EXPECT_EQ(probe->ReadLines(30s),
              (Lines{"write 4 read 4 ping", "again 4 pong", "files untouched"}));
    EXPECT_EQ(probe->Wait(5s), 0);
}

TEST_F(AioTest, SendfileOntoATrackedSocketIsChecked) {
    InternetAt(true);
    auto probe = Probe({"sendfile", (root / "net_client.py").string()});
    EXPECT_EQ(probe->ReadLine(30s), "sendfile 64");
    EXPECT_EQ(probe->ReadLine(30s), "ready");
    InternetAt(false);
    probe->CloseInput();
    EXPECT_EQ(probe->ReadLines(30s), Lines{"sendfile EACCES"});
    EXPECT_EQ(probe->Wait(5s), 0);
    EXPECT_EQ(WarningsOf(AIO_PROBE_PATH), 1u);
}

}  // namespace
}  // namespace zen::test
