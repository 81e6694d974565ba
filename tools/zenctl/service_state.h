#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>

namespace zen::ctl {

// The running zensvc as an outsider can see it, without asking it anything.
struct ServiceState {
    pid_t pid = 0;
    int64_t startedAt = 0;  // seconds since 1970, 0 when unknown
    std::string runBy;      // "systemd", "pid file" or "hand"
};

// Found in this order: systemd's main pid of the unit (under "/" only, when systemd runs the
// machine), the pid file of a service started without systemd, then the process that listens
// on the time socket (a service started by hand, as "zensvc -debug"). A pid counts only while
// it is a process named zensvc. Nothing when the service does not run.
std::optional<ServiceState> FindRunningService();

}  // namespace zen::ctl
