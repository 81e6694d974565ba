#pragma once

#include <memory>
#include <span>
#include <string>

#include "platform/environment.h"

namespace zen {

// The session an action was armed for: it is the one logged off, even when another user has
// become the console user in the meantime.
struct SessionRef {
    std::string id;    // logind's session identifier; "" when logind could not be asked
    std::string user;  // login name
};

// A mounted drive as hiding remembers it, so that restoring can mount it again.
struct DriveMount {
    std::string device;      // the block device, e.g. /dev/sdb1
    std::string mountPoint;  // absolute path
    std::string fsType;      // e.g. vfat
    std::string options;     // the mount's options as mountinfo lists them, comma-separated
};

// The system's actions on the machine. One implementation acts on the machine itself; under
// any root other than "/" the other records power-off and logoff in run/zentimo/actions.log
// instead (and also asks logind, when DBUS_SYSTEM_BUS_ADDRESS names a test's bus whose socket
// lies below the root) and touches mounts only below the root. Processes are closed for real
// in both.
class SystemActions {
public:
    virtual ~SystemActions() = default;

    // logind's PowerOff, not interactive; without logind, the system's poweroff command.
    virtual bool PowerOff() = 0;
    // logind's TerminateSession of the session, then whatever of the user is left ends: the
    // user slice by cgroup.kill, and any other process of the uid by signals (SIGTERM, then
    // SIGKILL after a grace period), never root's or a system account's. True only when no
    // process of the user is left (for root and system accounts: when logind ended the
    // session). A session without id and user (nobody was at the console) has nobody to log
    // off. Under a test root the logoff is recorded, and only the root's stand-in cgroup for
    // the user slices is acted on.
    virtual bool LogOff(const SessionRef& session) = 0;
    // SIGTERM to each, one wait of up to 5 s for all of them on their pidfds, then SIGKILL. The
    // caller takes the pidfds before deciding, so a pid reused meanwhile is never signalled.
    // A process already gone is closed.
    virtual bool CloseProcesses(std::span<const int> pidfds) = 0;
    // Unmounts the drive's mount point, never lazily: false (errno EBUSY) while a process
    // still holds something on it, and the drive stays mounted.
    virtual bool Unmount(const DriveMount& drive) = 0;
    // Mounts the device again at the remembered point, creating the point when it is missing.
    virtual bool Mount(const DriveMount& drive) = 0;
};

// The actions the environment allows: the machine's own, or those that only record.
std::unique_ptr<SystemActions> MakeSystemActions(const Environment& environment);

}  // namespace zen
