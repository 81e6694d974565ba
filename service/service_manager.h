#pragma once

#include <string>

namespace zen {

// The service's unit, and its start and removal: through systemd when it runs the machine,
// otherwise with a detached process and a pid file. Each returns 1 on success, 0 on failure.

// Uses the unit the installation shipped (a package's, in /lib/systemd/system), or else
// writes its own copy to the root's etc/systemd/system when that is missing or differs,
// and enables it under systemd. A unit that cannot be written or enabled is reported.
int InstallService(const std::string& name);
// Starts the installed service; fails without a message when it is not installed.
int StartServiceFromSCM(const std::string& name);
// Sends the stop code 129 to the service (not waiting for it to stop), disables it and
// deletes the set-up's own copy of the unit; succeeds at once when there is no unit.
int RemoveService(const std::string& name);

}  // namespace zen
