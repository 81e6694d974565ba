#pragma once

#include <chrono>

namespace zen {

// The steps that only the removal takes.

// Waits until the service no longer answers on its control socket; false when it still runs
// after `timeout`.
bool WaitForServiceStop(std::chrono::milliseconds timeout);

// Mounts again every drive the service hid: the drives manager is made as the service makes
// it, loads what it had hidden, and releases all of it. 1 when done (also when there is no
// drives manager or no database).
int ReleaseHiddenDrives();

// Deletes the kernel's Internet table: with the filter gone, nothing is to be kept. 1 when
// done.
int RemoveKernelInternetRules();

// Sets the panel stop event, so that every running control panel quits, and clears it again
// once none answers on its socket any more (a bounded wait), so that the panels of a new
// installation start without a reboot.
int StopAllPanels();
// Clears the panel stop event.
void ClearPanelStop();

// Deletes whatever is left in the data directory after ResetFiles (messages, usage counters,
// layout files) and the directory itself, and the service's last good copies in
// var/backups/zentimo, so that nothing can put the data back. Entries are unlinked where
// they are, never followed; folders others made there are left alone.
void RemoveDataFiles();

}  // namespace zen
