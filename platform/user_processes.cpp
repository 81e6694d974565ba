#include "platform/user_processes.h"

#include <dirent.h>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/process_owner.h"
#include "platform/unique_fd.h"

namespace zen {
namespace {

struct DirClose {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// Pidfds of the user's processes. The uid is read again after the pidfd is taken: when the
// pid was reused in between, the pidfd names the new process and its owner decides.
std::vector<UniqueFd> ProcessesOf(uid_t uid) {
    std::vector<UniqueFd> found;
    const std::unique_ptr<DIR, DirClose> proc(::opendir("/proc"));
    if (!proc) {
        return found;
    }
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(proc.get())) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (*end != '\0' || pid <= 0 || pid == self || ProcessRealUid(pid) != uid) {
            continue;
        }
        UniqueFd pidfd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
        if (pidfd && ProcessRealUid(pid) == uid) {
            found.push_back(std::move(pidfd));
        }
    }
    return found;
}

void SignalAll(const std::vector<UniqueFd>& processes, int signal) {
    for (const UniqueFd& pidfd : processes) {
        ::syscall(SYS_pidfd_send_signal, pidfd.get(), signal, nullptr, 0);
    }
}

// Waits until every process has ended (its pidfd turns readable) or the time is up.
bool WaitAllEnded(const std::vector<UniqueFd>& processes, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (const UniqueFd& pidfd : processes) {
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd entry{pidfd.get(), POLLIN, 0};
            const int ready = ::poll(&entry, 1, static_cast<int>(std::max<long>(left.count(), 0)));
            if (ready > 0) {
                break;
            }
            if (ready == 0 || errno != EINTR) {
                return false;
            }
        }
    }
    return true;
}

// A process that forks while it is being killed can leave a child behind; a few rounds of
// SIGKILL catch those.
constexpr int kKillRounds = 5;
constexpr std::chrono::milliseconds kKillWait{1000};

}  // namespace

bool EndUserProcesses(uid_t uid, std::chrono::milliseconds grace) {
    std::vector<UniqueFd> processes = ProcessesOf(uid);
    SignalAll(processes, SIGTERM);
    WaitAllEnded(processes, grace);
    for (int round = 0; round < kKillRounds; ++round) {
        processes = ProcessesOf(uid);
        if (processes.empty()) {
            return true;
        }
        SignalAll(processes, SIGKILL);
        WaitAllEnded(processes, kKillWait);
    }
    return ProcessesOf(uid).empty();
}

}  // namespace zen
