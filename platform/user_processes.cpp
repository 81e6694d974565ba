#include "platform/user_processes.h"

#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <thread>

#include "platform/accounts.h"
#include "platform/process_owner.h"

namespace zen {
namespace {

struct DirClose {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// A helper process takes the uid and signals with kill(-1): the kernel delivers it to every
// process that uid may signal, and a process forking meanwhile either gets it or has its fork
// fail, which no walk over /proc can promise. The helper itself is spared.
bool SignalEveryProcessOf(uid_t uid, int signal) {
    const pid_t helper = ::fork();
    if (helper < 0) {
        return false;
    }
    if (helper == 0) {
        // Only async-signal-safe calls here: the service has threads. Taking the uid drops
        // every capability, so nothing beyond the account's own processes can be reached.
        if (::setresuid(uid, uid, uid) != 0) {
            ::_exit(2);
        }
        ::_exit(::kill(-1, signal) == 0 || errno == ESRCH ? 0 : 1);
    }
    int status = 0;
    while (::waitpid(helper, &status, 0) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

constexpr std::chrono::milliseconds kPollStep{20};

bool WaitNoneLeft(uid_t uid, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (AnyProcessOf(uid)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kPollStep);
    }
    return true;
}

// A process in uninterruptible sleep ends only when its I/O returns; a few rounds give it
// time without waiting for ever.
constexpr int kKillRounds = 5;
constexpr std::chrono::milliseconds kKillWait{1000};

}  // namespace

bool AnyProcessOf(uid_t uid) {
    const std::unique_ptr<DIR, DirClose> proc(::opendir("/proc"));
    if (!proc) {
        return true;  // cannot tell: never report the account as gone
    }
    while (const dirent* entry = ::readdir(proc.get())) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (*end == '\0' && pid > 0 && ProcessRealUid(static_cast<pid_t>(pid)) == uid) {
            return true;
        }
    }
    return false;
}

bool EndUserProcesses(uid_t uid, std::chrono::milliseconds grace) {
    if (uid == 0 || IsSystemAccount(uid)) {
        return false;
    }
    SignalEveryProcessOf(uid, SIGTERM);
    if (WaitNoneLeft(uid, grace)) {
        return true;
    }
    for (int round = 0; round < kKillRounds; ++round) {
        if (SignalEveryProcessOf(uid, SIGKILL) && WaitNoneLeft(uid, kKillWait)) {
            return true;
        }
    }
    return !AnyProcessOf(uid);
}

}  // namespace zen
