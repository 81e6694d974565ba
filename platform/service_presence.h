#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace zen {

// The running zensvc as an outsider can see it, without asking it anything.
struct RunningService {
    pid_t pid = 0;
    int64_t startedAt = 0;  // seconds since 1970, 0 when unknown
    std::string runBy;      // "systemd", "pid file" or "hand"
};

// Found in this order: systemd's main pid of the unit (under "/" only, when systemd runs the
// machine), the pid file of a service started without systemd, then the process that listens
// on the time socket (a service started by hand, as "zensvc -debug"). A pid counts only while
// it is a process named zensvc. Nothing when the service does not run.
std::optional<RunningService> FindRunningService();

// What runs the service: systemd when it runs the machine, otherwise a detached process with
// a pid file. systemd is only ever considered on the machine itself: under any other root the
// pid-file path is taken, so nothing reaches the machine's own service manager.
bool SystemdRuns();

// The pid file of a service started without systemd: run/zentimo/zensvc.pid.
std::filesystem::path PidFile();

}  // namespace zen
