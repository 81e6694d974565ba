#include "service/setup_removal.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

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

int StopAllPanels() {
    NamedEvent panelStop;
    if (!panelStop.Open(kPanelStopEventName, ObjectAccess::RootSignals) || !panelStop.Set()) {
        return ShowSysError(0, "CreateEvent");
    }
    return 1;
}

void RemoveDataFiles() {
    RemoveFlatDirectory(paths::DataDir());
    RemoveFlatDirectory(Root() / "var/backups/zentimo");
}

}  // namespace zen
