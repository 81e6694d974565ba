#pragma once

#include <string>

namespace zen {

// The service entry under the root's etc/systemd/system, and its start and removal: through
// systemd when it runs the machine, otherwise with a detached process and a pid file. Each
// returns 1 on success, 0 on failure.

// Writes the unit (enabled for automatic start under systemd); an entry that exists already
// is left as it is. A failed write of the unit itself is not reported.
int InstallService(const std::string& name);
// Starts the installed service; fails without a message when it is not installed.
int StartServiceFromSCM(const std::string& name);
// Sends the stop code 129 to the service (not waiting for it to stop) and deletes the entry;
// succeeds at once when there is no entry.
int RemoveService(const std::string& name);

}  // namespace zen
