#include "platform/process_close.h"

#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace zen {
namespace {

// ESRCH means the process has already ended, which is what closing wants.
bool Signal(int pidfd, int signal) {
    return ::syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0) == 0 || errno == ESRCH;
}

// A pidfd becomes readable when its process has ended.
bool WaitEnded(int pidfd, int timeoutMs) {
    pollfd entry{pidfd, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&entry, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

}  // namespace

bool CloseProcessByPidfd(int pidfd, int graceMs) {
    if (!Signal(pidfd, SIGTERM)) {
        return false;
    }
    if (WaitEnded(pidfd, graceMs)) {
        return true;
    }
    // A process that ignores SIGTERM is killed; the kill is final, so a short wait suffices.
    return Signal(pidfd, SIGKILL) && WaitEnded(pidfd, 1000);
}

}  // namespace zen
