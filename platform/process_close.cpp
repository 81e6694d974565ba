#include "platform/process_close.h"

#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <vector>

namespace zen {
namespace {

using Clock = std::chrono::steady_clock;

// ESRCH means the process has already ended, which is what closing wants.
bool Signal(int pidfd, int signal) {
    return ::syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0) == 0 || errno == ESRCH;
}

// Waits until every process has ended (a pidfd becomes readable then) or the time is up;
// the pidfds of those still running are left in `running`.
void WaitEnded(std::vector<pollfd>& running, Clock::time_point until) {
    while (!running.empty()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0) {
            return;
        }
        const int ready = ::poll(running.data(), running.size(), static_cast<int>(left));
        if (ready < 0 && errno != EINTR) {
            return;
        }
        std::erase_if(running, [](const pollfd& entry) { return entry.revents != 0; });
    }
}

}  // namespace

bool CloseProcessesByPidfd(std::span<const int> pidfds, int graceMs) {
    bool signalled = true;
    std::vector<pollfd> running;
    for (const int pidfd : pidfds) {
        if (Signal(pidfd, SIGTERM)) {
            running.push_back({pidfd, POLLIN, 0});
        } else {
            signalled = false;
        }
    }
    WaitEnded(running, Clock::now() + std::chrono::milliseconds(graceMs));
    // Those that ignore SIGTERM are killed; the kill is final, so a short wait suffices.
    for (const pollfd& entry : running) {
        signalled = Signal(entry.fd, SIGKILL) && signalled;
    }
    WaitEnded(running, Clock::now() + std::chrono::seconds(1));
    return signalled && running.empty();
}

}  // namespace zen
