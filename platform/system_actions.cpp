#include "platform/system_actions.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/accounts.h"
#include "platform/cgroup_kill.h"
#include "platform/clock.h"
#include "platform/drive_mount.h"
#include "platform/local_time.h"
#include "platform/logind_control.h"
#include "platform/process_close.h"
#include "platform/root.h"
#include "platform/shared_file.h"
#include "platform/user_processes.h"

namespace zen {
namespace {

// Closing processes and mounts are the same under every root; the drive functions themselves
// keep a test root's mounts below it.
class ActionsBase : public SystemActions {
public:
    bool CloseProcesses(std::span<const int> pidfds) override {
        return CloseProcessesByPidfd(pidfds);
    }
    bool Unmount(const DriveMount& drive) override { return UnmountDrive(drive); }
    bool Mount(const DriveMount& drive) override { return MountDrive(drive); }
};

// cgroup.kill signals at once; this bounds how long the kernel may take to end them all (600
// processes took over 2 s on a loaded two-core machine).
constexpr std::chrono::seconds kSliceEmptyWait{10};

// What the account's sessions left behind (its user manager, transient units, fork chains)
// ends with its user slice at once. True when it has no slice or the slice is empty now.
bool EndUserSlice(uid_t uid) {
    const auto slice = UserSliceCgroup(uid);
    return !slice || KillCgroup(*slice, kSliceEmptyWait);
}

// Under a test or demo root: power-off and logoff become one line each in actions.log.
class RecordingActions : public ActionsBase {
public:
    bool PowerOff() override {
        const bool recorded = Record("poweroff", {});
        return Env().privateLogind ? recorded && LogindPowerOff() == LogindResult::Done : recorded;
    }
    bool LogOff(const SessionRef& session) override {
        bool done = Record("logoff", session);
        if (Env().privateLogind && !session.id.empty()) {
            done = LogindTerminateSession(session.id) == LogindResult::Done && done;
        }
        // Only the test's own cgroup can stand in for the slice here, so the kernel's
        // mechanism is used on nothing of the machine's.
        const std::optional<uid_t> uid = UidOfLogin(session.user);
        if (uid && !IsSystemAccount(*uid)) {
            done = EndUserSlice(*uid) && done;
        }
        return done;
    }

private:
    static bool Record(const char* action, const SessionRef& session) {
        const LocalTime t = BreakDownLocal(Now());
        char line[512];
        const int length = std::snprintf(line, sizeof line,
                                         "%04d-%02d-%02d %02d:%02d:%02d %s session=%s user=%s\n",
                                         t.year, t.month, t.day, t.hour, t.minute, t.second, action,
                                         session.id.empty() ? "-" : session.id.c_str(),
                                         session.user.empty() ? "-" : session.user.c_str());
        if (length <= 0 || static_cast<std::size_t>(length) >= sizeof line) {
            return false;
        }
        const UniqueFd log =
            OpenSharedFile(paths::ActionsLog(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        return log && ::write(log.get(), line, length) == length;
    }
};

// Without logind, a user who did not leave gets this long to end their programs.
constexpr std::chrono::seconds kLogoffGrace{10};

// Without logind the system's own power-off command shuts down cleanly.
bool PowerOffWithoutLogind() {
    for (const char* command : {"/sbin/poweroff", "/usr/sbin/poweroff"}) {
        if (::access(command, X_OK) != 0) {
            continue;
        }
        char* const argv[] = {const_cast<char*>(command), nullptr};
        pid_t pid = -1;
        if (::posix_spawn(&pid, command, nullptr, nullptr, argv, environ) != 0) {
            continue;
        }
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    return false;
}

// On the machine itself: logind carries the actions out; without it, the fallbacks above.
class MachineActions : public ActionsBase {
public:
    bool PowerOff() override {
        const LogindResult result = LogindPowerOff();
        return result == LogindResult::Unavailable ? PowerOffWithoutLogind()
                                                   : result == LogindResult::Done;
    }
    bool LogOff(const SessionRef& session) override {
        if (session.id.empty() && session.user.empty()) {
            return true;  // nobody was at the console: nobody to log off
        }
        const LogindResult ended =
            session.id.empty() ? LogindResult::Unavailable : LogindTerminateSession(session.id);
        const std::optional<uid_t> uid = UidOfLogin(session.user);
        // Root's and system accounts' processes are never touched: logind's word is all.
        if (!uid || IsSystemAccount(*uid)) {
            return ended == LogindResult::Done;
        }
        // Processes of the account outside its slice (started through su, say), or every one
        // of them without a cgroup v2, end by the signal loop, which also tells whether any
        // process of the account is left.
        EndUserSlice(*uid);
        return EndUserProcesses(*uid, kLogoffGrace);
    }
};

}  // namespace

std::unique_ptr<SystemActions> MakeSystemActions(const Environment& environment) {
    if (environment.actions == ActionsBackend::Machine) {
        return std::make_unique<MachineActions>();
    }
    return std::make_unique<RecordingActions>();
}

}  // namespace zen
