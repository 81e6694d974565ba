#include "platform/root.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace zen {
namespace fs = std::filesystem;

const fs::path& Root() {
    return Env().root;
}

namespace paths {
fs::path DataDir() {
    return Root() / "var/lib/zentimo";
}
fs::path ErrorLog() {
    return Root() / "var/log/zen-err.log";
}
fs::path BackupDir() {
    return Root() / "var/backups/zentimo";
}
fs::path RunDir() {
    return Root() / "run/zentimo";
}
fs::path TimeSocket() {
    return RunDir() / "ZenNamedPipe";
}
fs::path ControlSocket() {
    return RunDir() / "control";
}
fs::path ActionsLog() {
    return RunDir() / "actions.log";
}
fs::path SeatFile() {
    return RunDir() / "seat";
}
fs::path UserSliceFile() {
    return RunDir() / "user-slice";
}
fs::path MediaForbidden() {
    return RunDir() / "media-forbidden";
}
fs::path AutostartEntry() {
    return Root() / "etc/xdg/autostart/zencp.desktop";
}
fs::path ConfFile() {
    return Root() / "etc/zentimo/zentimo.conf";
}
fs::path PreloadList() {
    return Root() / "etc/ld.so.preload";
}
fs::path ServiceUnit() {
    return Root() / "etc/systemd/system/zensvc.service";
}
fs::path PolkitRule() {
    return Root() / "etc/polkit-1/rules.d/50-zentimo-udisks.rules";
}
fs::path MachineIdFile() {
    return Root() / "etc/machine-id";
}
fs::path ProgramFolder() {
    return fs::path(ZEN_PREFIX);
}
fs::path ManualDir() {
    return ProgramFolder() / "share/zentimo/manual";
}
}  // namespace paths

namespace {

// Makes every missing directory down to `dir`; the last one gets `mode` exactly.
bool MakeDirectory(const fs::path& dir, mode_t mode) {
    std::error_code error;
    if (fs::is_directory(fs::symlink_status(dir, error))) {
        return true;
    }
    fs::create_directories(dir.parent_path(), error);
    if (::mkdir(dir.c_str(), mode) != 0 && errno != EEXIST) {
        return false;
    }
    struct stat status {};
    if (::lstat(dir.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        return false;
    }
    // Only the maker sets the mode; the umask must not narrow a shared directory.
    return status.st_uid != ::geteuid() || ::chmod(dir.c_str(), mode) == 0;
}

}  // namespace

bool EnsureSharedDirectories() {
    const bool data = MakeDirectory(paths::DataDir(), 0777);
    const bool run = MakeDirectory(paths::RunDir(), 01777);
    const bool log = MakeDirectory(paths::ErrorLog().parent_path(), 0755);
    return data && run && log;
}

}  // namespace zen
