#include "platform/system_actions.h"

#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "platform/clock.h"
#include "platform/drive_mount.h"
#include "platform/local_time.h"
#include "platform/process_close.h"
#include "platform/root.h"
#include "platform/shared_file.h"

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

// Under a test or demo root: power-off and logoff become one line each in actions.log.
class RecordingActions : public ActionsBase {
public:
    bool PowerOff() override { return Record("poweroff", {}); }
    bool LogOff(const SessionRef& session) override { return Record("logoff", session); }

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

struct BusClose {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};

// On the machine itself: logind carries the actions out.
class MachineActions : public ActionsBase {
public:
    bool PowerOff() override {
        // Not interactive: no polkit question may hold the power-off.
        return CallManager("PowerOff", "b", 0);
    }
    bool LogOff(const SessionRef& session) override {
        return !session.id.empty() && CallManager("TerminateSession", "s", session.id.c_str());
    }

private:
    template <typename Argument>
    static bool CallManager(const char* method, const char* signature, Argument argument) {
        sd_bus* opened = nullptr;
        if (sd_bus_open_system(&opened) < 0) {
            return false;
        }
        const std::unique_ptr<sd_bus, BusClose> bus(opened);
        sd_bus_error error = SD_BUS_ERROR_NULL;
        const int result = sd_bus_call_method(
            bus.get(), "org.freedesktop.login1", "/org/freedesktop/login1",
            "org.freedesktop.login1.Manager", method, &error, nullptr, signature, argument);
        sd_bus_error_free(&error);
        return result >= 0;
    }
};

}  // namespace

SystemActions& Actions() {
    static const std::unique_ptr<SystemActions> actions =
        RootIsSystem() ? std::unique_ptr<SystemActions>(std::make_unique<MachineActions>())
                       : std::make_unique<RecordingActions>();
    return *actions;
}

}  // namespace zen
