#pragma once

#include <filesystem>

#include "platform/environment.h"

namespace zen {

// Every path of the system lives under the root of this process's environment: "/"
// normally, or the directory of a test or demo.
const std::filesystem::path& Root();

namespace paths {
std::filesystem::path DataDir();         // var/lib/zentimo: tables, logs, hidden files
std::filesystem::path ErrorLog();        // var/log/zen-err.log
std::filesystem::path BackupDir();       // var/backups/zentimo: root's last good data files
std::filesystem::path RunDir();          // run/zentimo: named objects and sockets
std::filesystem::path TimeSocket();      // run/zentimo/ZenNamedPipe
std::filesystem::path ControlSocket();   // run/zentimo/control
std::filesystem::path ActionsLog();      // run/zentimo/actions.log (non-"/" roots only)
std::filesystem::path SeatFile();        // run/zentimo/seat (non-"/" roots only)
std::filesystem::path UserSliceFile();   // run/zentimo/user-slice (non-"/" roots only)
std::filesystem::path MediaForbidden();  // run/zentimo/media-forbidden: read by the polkit rule
std::filesystem::path AutostartEntry();  // etc/xdg/autostart/zencp.desktop
std::filesystem::path ConfFile();        // etc/zentimo/zentimo.conf
std::filesystem::path PreloadList();     // etc/ld.so.preload
std::filesystem::path ServiceUnit();     // etc/systemd/system/zensvc.service
std::filesystem::path PolkitRule();      // etc/polkit-1/rules.d/50-zentimo-udisks.rules
std::filesystem::path MachineIdFile();   // etc/machine-id
std::filesystem::path ProgramFolder();   // the install prefix; never under the root
std::filesystem::path ManualDir();       // share/zentimo/manual under the prefix
}  // namespace paths

// Creates the shared directories with their modes (data 0777, run 1777, log 0755) where
// they are missing. Returns false when one of them cannot be made; existing ones are left as
// they are.
bool EnsureSharedDirectories();

}  // namespace zen
