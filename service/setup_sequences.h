#pragma once

namespace zen {

// "setupAll": makes the data files with their defaults, registers the panel's autostart and
// the installation, creates the database with its built-in records, secures the program
// files, lists the network filter, and installs and starts the service through a second
// instance ("-installAndRun"), waiting for it. Returns the exit code.
int SetupAll();

// "removeAll": offers to export the settings, removes and stops the service (waiting a
// bounded time for it to end), unregisters the autostart, restores the hidden drives, stops
// every panel, deletes the data files and the service's backups, and removes the filter's
// line. Returns the exit code.
int RemoveAll();

}  // namespace zen
