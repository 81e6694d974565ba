// Another account that takes the service's socket names first, or keeps trying to, loses
// them to the service; and root's sender never talks to a server of another account.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "platform/clock.h"
#include "platform/local_time.h"
#include "platform/root.h"
#include "platform/unix_listener.h"
#include "service/control_socket.h"
#include "service/other_account.h"
#include "service/zensvc_process.h"
#include "support/child_process.h"
#include "support/eventually.h"
#include "support/temp_root.h"

namespace zen::test {
namespace {

constexpr char kFakeRecord[] = "FAKE TIME RECORD";

UniqueFd BindAndListen(const std::filesystem::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd || ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(path.c_str(), 0666) != 0 || ::listen(fd.get(), 8) != 0) {
        return {};
    }
    return fd;
}

// As the kid: listens at both names, answers every client with a fake record (and every
// control code with "done"), and keeps binding the names again should they be free. Writes
// "ready" once it listens, and "asked" when a client wrote to its control socket. With
// "plant", a directory holding a file stands at the control name instead of a socket; with
// "no-race", the names are not bound again.
ZEN_CHILD(kid_squats) {
    if (!BecomeKid()) {
        return 90;
    }
    const auto given = [&](const char* word) { return std::ranges::count(args, word) != 0; };
    UniqueFd clock = BindAndListen(paths::TimeSocket());
    UniqueFd control;
    if (given("plant")) {
        std::filesystem::create_directory(paths::ControlSocket());
        WriteAll(paths::ControlSocket() / "inside", "kid");
    } else {
        control = BindAndListen(paths::ControlSocket());
    }
    if (!clock || (!control && !given("plant"))) {
        return 91;
    }
    WriteAll(paths::RunDir() / "kid.ready", "ready");
    std::atomic<bool> racing = !given("no-race");
    std::thread racer([&] {
        while (racing) {
            // Fails while the name stands; takes it should it ever be free.
            for (const auto& path : {paths::TimeSocket(), paths::ControlSocket()}) {
                if (UniqueFd again = BindAndListen(path)) {
                    static_cast<void>(again.release());
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    pollfd ready[2] = {{clock.get(), POLLIN, 0}, {control.get(), POLLIN, 0}};
    for (;;) {
        if (::poll(ready, 2, -1) <= 0) {
            continue;
        }
        if (ready[0].revents != 0) {
            const UniqueFd client(::accept(clock.get(), nullptr, nullptr));
            (void)::send(client.get(), kFakeRecord, 16, MSG_NOSIGNAL);
        }
        if (ready[1].revents != 0) {
            const UniqueFd client(::accept(control.get(), nullptr, nullptr));
            uint32_t code = 0;
            if (::recv(client.get(), &code, sizeof code, 0) > 0) {
                WriteAll(paths::RunDir() / "kid.asked", "asked");
            }
            const uint32_t done = 0;
            (void)::send(client.get(), &done, sizeof done, MSG_NOSIGNAL);
        }
    }
}

class SocketSquatTest : public RootedTest {
protected:
    void SetUp() override {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "acting as another account needs root";
        }
        AddKidAccount(root);
    }
};

// The kid binds both names, or plants a directory at the control name.
class SocketRaceTest : public SocketSquatTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(SocketRaceTest, PlantedAndRacingBindersLoseBothNamesToTheService) {
    CreateDatabase();
    Child squatter("kid_squats", {GetParam()});
    ASSERT_TRUE(
        Eventually([&] { return std::filesystem::exists(root / "run/zentimo/kid.ready"); }));
    ASSERT_EQ(AskTheClock(), std::string(kFakeRecord, 16));

    ZensvcProcess service({"-debug"});
    ASSERT_TRUE(Eventually([] {
        struct stat status {};
        return ::stat(paths::TimeSocket().c_str(), &status) == 0 && status.st_uid == 0;
    })) << service.Stderr();
    for (const auto& path : {paths::TimeSocket(), paths::ControlSocket()}) {
        EXPECT_TRUE(ListenerIsUser(path, 0)) << path;
    }
    // The real clock answers, and goes on answering while the kid keeps trying.
    for (int i = 0; i < 20; ++i) {
        const std::string record = AskTheClock();
        ASSERT_EQ(record.size(), 16u);
        EXPECT_EQ(ClockMoment(record)[0], BreakDownUtc(Now()).year);
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(SendControlCode(kStopCode));
    EXPECT_EQ(service.WaitExit(5s), std::optional<int>(129)) << service.Stderr();
    EXPECT_FALSE(std::filesystem::exists(root / "run/zentimo/kid.asked"));
}

INSTANTIATE_TEST_SUITE_P(SocketsOrADirectory, SocketRaceTest, ::testing::Values("bind", "plant"));

TEST_F(SocketSquatTest, RootNeverSendsACodeToAServerOfAnotherAccount) {
    Child squatter("kid_squats", {"no-race"});
    ASSERT_TRUE(
        Eventually([&] { return std::filesystem::exists(root / "run/zentimo/kid.ready"); }));
    EXPECT_FALSE(SendControlCode(kStopCode));
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(std::filesystem::exists(root / "run/zentimo/kid.asked"));
}

}  // namespace
}  // namespace zen::test
