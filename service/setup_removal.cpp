#include "service/setup_removal.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <thread>

#include "common/db/db_manager.h"
#include "common/db/error_log.h"
#include "common/db/object_names.h"
#include "platform/named_event.h"
#include "platform/root.h"
#include "platform/system_actions.h"
#include "platform/unique_fd.h"
#include "platform/unix_listener.h"
#include "service/managers/internet_rules_manager.h"
#include "service/mgr_factory.h"

namespace zen {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(50);
// A panel notices the stop within a fifth of a second; a busy one may take longer.
constexpr auto kPanelQuitTimeout = std::chrono::seconds(10);
constexpr std::string_view kPanelSocketPrefix = "zencp-";

// Unlinks every entry of the directory (a sub-folder only when empty), then the directory.
void RemoveFlatDirectory(const std::filesystem::path& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    DIR* listing = ::fdopendir(fd);
    if (listing == nullptr) {
        ::close(fd);
        return;
    }
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        if (::unlinkat(fd, entry->d_name, 0) != 0 && errno == EISDIR) {
            ::unlinkat(fd, entry->d_name, AT_REMOVEDIR);
        }
    }
    ::closedir(listing);
    ::rmdir(dir.c_str());
}

}  // namespace

bool WaitForServiceStop(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (ConnectUnix(paths::ControlSocket())) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

int ReleaseHiddenDrives() {
    const CMgrFactory factory;
    if (factory.Order().empty()) {
        return 1;
    }
    CDBManager db;
    if (db.Init(false) == 0) {
        // No database: nothing was recorded as hidden.
        return 1;
    }
    try {
        // The drives manager comes first in the order the service makes its managers.
        const std::unique_ptr<SystemActions> actions = MakeSystemActions(Env());
        const std::unique_ptr<CManager> drives =
            factory.Create(factory.Order().front(), db, *actions);
        drives->Start();
        const int released = drives->ReleaseAll();
        db.Term();
        return released;
    } catch (const ManagerAllocationError& error) {
        LogError("%s", error.what());
        return 0;
    }
}

int RemoveKernelInternetRules() {
    // The manager's release needs no rules.
    CDBManager db;
    return CInternetRulesManager(db).ReleaseAll();
}

bool PanelsRun() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(paths::RunDir(), error)) {
        // Each panel listens on run/zentimo/zencp-UID-SESSION while it runs.
        if (entry.path().filename().string().starts_with(kPanelSocketPrefix) &&
            ConnectUnix(entry.path())) {
            return true;
        }
    }
    return false;
}

int StopAllPanels() {
    NamedEvent panelStop;
    if (!panelStop.Open(kPanelStopEventName, ObjectAccess::RootSignals) || !panelStop.Set()) {
        return ShowSysError(0, "CreateEvent");
    }
    const auto deadline = std::chrono::steady_clock::now() + kPanelQuitTimeout;
    while (PanelsRun()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            // The stop stays set for the late ones; the next set-up clears it.
            LogError("RemoveAll(): a control panel did not quit");
            return 1;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    ClearPanelStop();
    return 1;
}

void ClearPanelStop() {
    NamedEvent panelStop;
    if (!panelStop.Open(kPanelStopEventName, ObjectAccess::RootSignals) || !panelStop.Reset()) {
        LogError("The panels' stop event could not be cleared: %s", std::strerror(errno));
    }
}

void RemoveDataFiles() {
    RemoveFlatDirectory(paths::DataDir());
    RemoveFlatDirectory(Root() / "var/backups/zentimo");
}

}  // namespace zen
