#include "service/service_manager.h"

#include <span>

#include "common/db/error_log.h"
#include "platform/root.h"
#include "platform/shared_file.h"
#include "service/control_socket.h"
#include "service/message_box.h"
#include "service/service_host.h"
#include "service/service_strings.h"

namespace zen {
namespace {

bool ServiceExists() {
    std::error_code error;
    return std::filesystem::exists(paths::ServiceUnit(), error);
}

std::string UnitName() {
    return std::filesystem::path(paths::ServiceUnit()).filename().string();
}

}  // namespace

int InstallService(const std::string& name) {
    if (ServiceExists()) {
        return 1;
    }
    const std::filesystem::path folder = paths::ServiceUnit().parent_path();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder, error)) {
        ShowServiceMessage(kIdsOpenManagerFailed, name);
        return 0;
    }
    const std::string unit = ServiceUnitText(OwnProgramPath());
    if (ReplaceFile(paths::ServiceUnit(), std::as_bytes(std::span(unit)), 0644) && SystemdRuns()) {
        Systemctl({"daemon-reload"});
        Systemctl({"enable", UnitName()});
    }
    return 1;
}

int StartServiceFromSCM(const std::string& name) {
    if (!ServiceExists()) {
        return 0;
    }
    const bool started = SystemdRuns() ? Systemctl({"start", UnitName()})
                                       : DetachedServiceRuns() || StartDetached(OwnProgramPath());
    if (!started) {
        LogError("StartServiceFromSCM(), StartService Error");
        ShowServiceMessage(kIdsStartFailed, name);
        return 0;
    }
    return 1;
}

int RemoveService(const std::string& name) {
    if (!ServiceExists()) {
        return 1;
    }
    if (!SendControlCode(kStopCode)) {
        LogError("RemoveService(), ControlService error");
    }
    if (SystemdRuns()) {
        Systemctl({"disable", UnitName()});
    }
    std::error_code error;
    if (!std::filesystem::remove(paths::ServiceUnit(), error)) {
        ShowServiceMessage(kIdsDeleteFailed, name);
        return 0;
    }
    std::filesystem::remove(PidFile(), error);
    if (SystemdRuns()) {
        Systemctl({"daemon-reload"});
    }
    return 1;
}

}  // namespace zen
