#include "service/setup_autostart.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <span>
#include <string_view>

#include "common/db/error_log.h"
#include "platform/machine_conf.h"
#include "platform/root.h"
#include "platform/shared_file.h"
#include "service/message_box.h"
#include "service/packaged_texts.h"
#include "service/polkit_rule.h"
#include "service/service_strings.h"

namespace zen {
namespace {

constexpr int kIdsRegistryFailed = 138;

bool Failed(const std::filesystem::path& path, int error) {
    LogError("RegisterAutostart(): %s: %s", path.c_str(), std::strerror(error));
    return false;
}

bool WriteSystemFile(const std::filesystem::path& path, std::string_view text) {
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    return ReplaceFile(path, std::as_bytes(std::span(text)), 0644) || Failed(path, errno);
}

bool RemoveSystemFile(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::remove(path, error);
    return !error || Failed(path, error.value());
}

// The marks join whatever else the machine's settings file holds (the mail encryption).
bool StoreInstallationMarks() {
    return StoreMachineConfValues({{"zeninst", "1"}, {"zenver", "2.01"}}) ||
           Failed(paths::ConfFile(), errno);
}

// Only the marks go: the administrator's own settings stay until the package is purged.
bool RemoveInstallationMarks() {
    return RemoveMachineConfValues({"zeninst", "zenver"}) || Failed(paths::ConfFile(), errno);
}

}  // namespace

int RegisterAutostart(bool registering) {
    // The polkit rule keeps udisks from mounting again for the child what the service hides.
    const bool done = registering
                          ? WriteSystemFile(paths::AutostartEntry(), kAutostartEntryText) &&
                                WriteSystemFile(paths::PolkitRule(), kPolkitRuleText) &&
                                StoreInstallationMarks()
                          : RemoveSystemFile(paths::AutostartEntry()) &
                                RemoveSystemFile(paths::PolkitRule()) & RemoveInstallationMarks();
    if (!done) {
        ShowServiceMessage(kIdsRegistryFailed, ServiceString(kIdsProductName));
        return 0;
    }
    return 1;
}

}  // namespace zen
