#include "platform/service_presence.h"

#include <sys/socket.h>
#include <systemd/sd-bus.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "platform/root.h"
#include "platform/shared_file.h"
#include "platform/unix_listener.h"

namespace zen {
namespace {

constexpr char kServiceName[] = "zensvc";

bool IsService(pid_t pid) {
    const auto name = ReadFirstLine("/proc/" + std::to_string(pid) + "/comm");
    return pid > 0 && name && *name == kServiceName;
}

// When the process started, from its start tick after boot and the boot time.
int64_t StartTimeOf(pid_t pid) {
    std::ifstream statFile("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(statFile)), std::istreambuf_iterator<char>());
    // The name in parentheses may hold blanks; the fields after it are plain.
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    unsigned long long startTicks = 0;
    // "state" is field 3 and "starttime" field 22 of the whole line.
    for (int index = 3; index < 22 && fields >> field; ++index) {
    }
    if (!(fields >> startTicks)) {
        return 0;
    }
    std::ifstream systemStat("/proc/stat");
    for (std::string key; systemStat >> key;) {
        if (key == "btime") {
            long long bootTime = 0;
            systemStat >> bootTime;
            return bootTime + static_cast<int64_t>(startTicks / ::sysconf(_SC_CLK_TCK));
        }
        std::getline(systemStat, key);
    }
    return 0;
}

pid_t SystemdMainPid() {
    if (!SystemdRuns()) {
        return 0;
    }
    sd_bus* raw = nullptr;
    if (sd_bus_open_system(&raw) < 0) {
        return 0;
    }
    const std::unique_ptr<sd_bus, sd_bus* (*)(sd_bus*)> bus(raw, sd_bus_flush_close_unref);
    sd_bus_error error = SD_BUS_ERROR_NULL;
    uint32_t pid = 0;
    // The unit's object path: "zensvc.service" with the dot escaped.
    const int result = sd_bus_get_property_trivial(
        bus.get(), "org.freedesktop.systemd1", "/org/freedesktop/systemd1/unit/zensvc_2eservice",
        "org.freedesktop.systemd1.Service", "MainPID", &error, 'u', &pid);
    sd_bus_error_free(&error);
    return result < 0 ? 0 : static_cast<pid_t>(pid);
}

pid_t PidFilePid() {
    const auto text = ReadFirstLine(PidFile());
    try {
        return text ? static_cast<pid_t>(std::stol(*text)) : 0;
    } catch (const std::exception&) {
        return 0;
    }
}

// The time socket answers every client with the clock and hangs up; the kernel tells who
// listens on it.
pid_t TimeSocketPid() {
    const UniqueFd socket = ConnectUnix(paths::TimeSocket());
    ucred peer{};
    socklen_t size = sizeof peer;
    if (!socket || ::getsockopt(socket.get(), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) {
        return 0;
    }
    return peer.pid;
}

}  // namespace

bool SystemdRuns() {
    return Env().onMachine && ::sd_booted() > 0;
}

std::filesystem::path PidFile() {
    return paths::RunDir() / "zensvc.pid";
}

std::optional<RunningService> FindRunningService() {
    using Finder = pid_t (*)();
    const std::pair<Finder, const char*> finders[] = {
        {SystemdMainPid, "systemd"}, {PidFilePid, "pid file"}, {TimeSocketPid, "hand"}};
    for (const auto& [find, runBy] : finders) {
        if (const pid_t pid = find(); IsService(pid)) {
            return RunningService{pid, StartTimeOf(pid), runBy};
        }
    }
    return std::nullopt;
}

}  // namespace zen
