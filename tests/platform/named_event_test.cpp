#include <atomic>
#include <thread>

#include "platform/named_event.h"
#include "support/child_process.h"
#include "support/temp_root.h"
#include "tests/platform/named_object_support.h"

namespace zen {
namespace {

using namespace std::chrono_literals;
using test::Child;
using test::RunChild;

// One operation on the event from another process, as root or as "nobody":
// WHO ACCESS OP [MS]. 0 when it returned true, 1 when false, 100 + errno when the event
// could not be opened.
ZEN_CHILD(event_op) {
    if (args.at(0) == "nobody" && !test::DropToNobody()) {
        return 3;
    }
    NamedEvent event;
    if (!event.Open(test::kEventName, test::AccessNamed(args.at(1)))) {
        return test::OpenFailure();
    }
    const std::string& op = args.at(2);
    bool result = op == "open";
    if (op == "set") {
        result = event.Set();
    } else if (op == "reset") {
        result = event.Reset();
    } else if (op == "pulse") {
        result = event.Pulse();
    } else if (op == "isset") {
        result = event.IsSet();
    } else if (op == "wait") {
        result = event.Wait(std::chrono::milliseconds(std::stoi(args.at(3))));
    }
    return result ? 0 : 1;
}

// The same operations as root on an object every account uses.
int RunOp(std::vector<std::string> op) {
    op.insert(op.begin(), {"root", "everyone"});
    return RunChild("event_op", op);
}

class NamedEventTest : public test::RootedTest {
protected:
    void SetUp() override { ASSERT_TRUE(event.Open(test::kEventName)); }
    NamedEvent event;
};

TEST_F(NamedEventTest, PulseWakesAWaiterInAnotherProcessAndLeavesTheEventClear) {
    Child waiter("event_op", {"root", "everyone", "wait", "10000"});
    EXPECT_EQ(test::PulseUntilEnd(event, waiter), 0);
    EXPECT_FALSE(event.IsSet());
    EXPECT_EQ(RunOp({"isset"}), 1);
}

TEST_F(NamedEventTest, SetAndResetAreSeenAcrossProcesses) {
    EXPECT_EQ(RunOp({"isset"}), 1);
    ASSERT_TRUE(event.Set());
    EXPECT_EQ(RunOp({"isset"}), 0);
    EXPECT_EQ(RunOp({"wait", "0"}), 0);  // stays set for every waiter
    EXPECT_EQ(RunOp({"wait", "0"}), 0);
    ASSERT_TRUE(event.Reset());
    EXPECT_EQ(RunOp({"wait", "50"}), 1);

    EXPECT_EQ(RunOp({"set"}), 0);
    EXPECT_TRUE(event.IsSet());
    EXPECT_TRUE(event.Wait(0ms));
    EXPECT_EQ(RunOp({"reset"}), 0);
    EXPECT_FALSE(event.IsSet());
}

TEST_F(NamedEventTest, SetWakesAWaiterInAnotherProcess) {
    Child waiter("event_op", {"root", "everyone", "wait", "10000"});
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(event.Set());
    EXPECT_EQ(waiter.Wait(), 0);
}

TEST_F(NamedEventTest, WaitTimesOutAndAMissedPulseIsLost) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(event.Wait(60ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 60ms);

    ASSERT_TRUE(event.Pulse());
    EXPECT_FALSE(event.Wait(20ms));
    // Pulse clears a set event.
    ASSERT_TRUE(event.Set());
    ASSERT_TRUE(event.Pulse());
    EXPECT_FALSE(event.IsSet());
}

TEST_F(NamedEventTest, WakeWaitersStopsOnlyTheCancelledWaiter) {
    std::atomic<bool> stopFirst{false};
    std::atomic<bool> stopSecond{false};
    std::atomic<int> firstResult{-1};
    std::atomic<int> secondResult{-1};
    std::thread first([&] { firstResult = event.Wait(std::nullopt, &stopFirst); });
    std::thread second([&] { secondResult = event.Wait(std::nullopt, &stopSecond); });

    std::this_thread::sleep_for(50ms);
    stopFirst = true;
    event.WakeWaiters();
    first.join();
    EXPECT_EQ(firstResult, 0);

    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(secondResult, -1);  // not cancelled: still waiting
    ASSERT_TRUE(event.Pulse());
    second.join();
    EXPECT_EQ(secondResult, 1);
}

TEST_F(NamedEventTest, CancelRaisedBeforeTheWaitIsNeverLost) {
    // The wake may come before the waiter sleeps; it must still return.
    for (int round = 0; round < 200; ++round) {
        std::atomic<bool> stop{false};
        std::thread waiter([&] { EXPECT_FALSE(event.Wait(std::nullopt, &stop)); });
        stop = true;
        event.WakeWaiters();
        waiter.join();
    }
}

TEST_F(NamedEventTest, ClosedEventRefusesEverything) {
    event.Close();
    EXPECT_FALSE(event.IsOpen());
    EXPECT_FALSE(event.Pulse());
    EXPECT_FALSE(event.Set());
    EXPECT_FALSE(event.Reset());
    EXPECT_FALSE(event.IsSet());
    EXPECT_FALSE(event.Wait(0ms));
}

}  // namespace
}  // namespace zen
