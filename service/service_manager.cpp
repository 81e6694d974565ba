#include "service/service_manager.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <span>
#include <sstream>

#include "common/db/error_log.h"
#include "platform/root.h"
#include "platform/shared_file.h"
#include "service/control_socket.h"
#include "service/install_layout.h"
#include "service/message_box.h"
#include "service/service_host.h"
#include "service/service_strings.h"

namespace zen {
namespace {

bool Exists(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

bool ServiceExists() {
    return Exists(layout::ShippedServiceUnit()) || Exists(paths::ServiceUnit());
}

std::string UnitName() {
    return std::filesystem::path(paths::ServiceUnit()).filename().string();
}

// The file's text; nothing when it cannot be read.
std::optional<std::string> TextOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return in ? std::optional(text.str()) : std::nullopt;
}

enum class UnitCopy { Unchanged, Written, Failed };

// The set-up's own copy of the unit, for an installation that shipped none: written when
// missing or different (an older set-up's, or one that ran another program).
UnitCopy WriteUnitCopy() {
    const std::filesystem::path& unit = paths::ServiceUnit();
    if (TextOf(unit) == ServiceUnitText()) {
        return UnitCopy::Unchanged;
    }
    std::error_code error;
    std::filesystem::create_directories(unit.parent_path(), error);
    const std::string_view text = ServiceUnitText();
    if (!ReplaceFile(unit, std::as_bytes(std::span(text)), 0644)) {
        std::fprintf(stderr, "The service unit could not be written: %s: %s\n", unit.c_str(),
                     std::strerror(errno));
        LogError("InstallService(): %s could not be written", unit.c_str());
        return UnitCopy::Failed;
    }
    return UnitCopy::Written;
}

}  // namespace

int InstallService(const std::string& name) {
    const UnitCopy copy =
        Exists(layout::ShippedServiceUnit()) ? UnitCopy::Unchanged : WriteUnitCopy();
    if (copy == UnitCopy::Failed) {
        ShowServiceMessage(kIdsOpenManagerFailed, name);
        return 0;
    }
    if (SystemdRuns()) {
        if (copy == UnitCopy::Written) {
            Systemctl({"daemon-reload"});
        }
        if (!Systemctl({"enable", UnitName()})) {
            std::fprintf(stderr, "The service could not be enabled: systemctl enable %s failed\n",
                         UnitName().c_str());
            return 0;
        }
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
    // A shipped unit is the package's to remove; the set-up's own copy goes here.
    std::error_code error;
    if (Exists(paths::ServiceUnit()) && !std::filesystem::remove(paths::ServiceUnit(), error)) {
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
