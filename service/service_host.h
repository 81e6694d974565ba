#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zen {

// What runs the service: systemd when it runs the machine, otherwise a detached process with
// a pid file. systemd is only ever considered under the root "/": under any other root the
// pid-file path is taken, so nothing reaches the machine's own service manager.
bool SystemdRuns();

// The unit that runs the installed service (packaging/zensvc.service.in): notify type, always
// restarted, never stopped by hand. A stop by the service's own control code (exit status
// 129) ends it for good.
std::string_view ServiceUnitText();

// The program's own path.
std::filesystem::path OwnProgramPath();

// Runs systemctl with the arguments; true when it succeeded. Only when SystemdRuns().
bool Systemctl(std::initializer_list<std::string_view> arguments);

// The pid file of a service started without systemd: run/zentimo/zensvc.pid.
std::filesystem::path PidFile();

// True when the pid file names a running process of this program.
bool DetachedServiceRuns();

// Starts `program /service` in a session of its own, detached from this process, and writes
// its pid file. True when the process was started.
bool StartDetached(const std::filesystem::path& program);

}  // namespace zen
