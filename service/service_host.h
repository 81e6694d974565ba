#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/service_presence.h"

namespace zen {

// The unit that runs the installed service (packaging/zensvc.service.in): notify type, always
// restarted, never stopped by hand. A stop by the service's own control code (exit status
// 129) ends it for good.
std::string_view ServiceUnitText();

// The program's own path.
std::filesystem::path OwnProgramPath();

// Runs systemctl with the arguments; true when it succeeded. Only when SystemdRuns().
bool Systemctl(std::initializer_list<std::string_view> arguments);

// True when the pid file names a running process of this program.
bool DetachedServiceRuns();

// Starts `program /service` in a session of its own, detached from this process, and writes
// its pid file. True when the process was started.
bool StartDetached(const std::filesystem::path& program);

}  // namespace zen
