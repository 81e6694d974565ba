#include "service/setup_export.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "common/db/db_manager.h"
#include "common/settings/settings_transfer.h"
#include "platform/accounts.h"
#include "service/service_strings.h"
#include "service/setup_terminal.h"

namespace zen {
namespace {

constexpr int kIdsExportQuestion = 142;

struct Account {
    uid_t uid = 0;
    gid_t gid = 0;
    std::filesystem::path home;
};

std::optional<Account> SetupAccount() {
    const std::optional<std::string> name = SetupAccountName();
    if (!name) {
        return std::nullopt;
    }
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwnam_r(name->c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr) {
        return std::nullopt;
    }
    return Account{found->pw_uid, found->pw_gid, found->pw_dir};
}

}  // namespace

bool OfferSettingsExport() {
    if (!AskYesNo(ServiceString(kIdsProductName), ServiceString(kIdsExportQuestion))) {
        return false;
    }
    CDBManager db;
    db.SetCurrentUserName(u"");
    if (db.Init(false) == 0) {
        std::fprintf(stderr, "The rules database cannot be opened; nothing was exported.\n");
        return false;
    }
    const std::optional<Account> account = SetupAccount();
    std::error_code error;
    const std::filesystem::path proposed =
        (account ? account->home : std::filesystem::current_path(error)) / "zentimo-settings.xml";
    const std::optional<std::string> file =
        AskFileName("Export the settings to", proposed.string());
    if (!file) {
        return false;
    }
    std::error_code exists;
    if (std::filesystem::exists(*file, exists) &&
        !AskYesNo(ServiceString(kIdsProductName), *file + " exists. Replace it?")) {
        std::fprintf(stderr, "Nothing was exported; %s is kept as it was.\n", file->c_str());
        return false;
    }
    if (!ExportSettings(db, *file)) {
        std::fprintf(stderr, "The settings could not be written to %s: %s\n", file->c_str(),
                     std::strerror(errno));
        return false;
    }
    // The file belongs to whoever runs the removal, not to root.
    if (account && ::lchown(file->c_str(), account->uid, account->gid) != 0) {
        std::fprintf(stderr, "%s stays owned by root: %s\n", file->c_str(), std::strerror(errno));
    }
    std::fprintf(stderr, "The settings were exported to %s\n", file->c_str());
    return true;
}

}  // namespace zen
