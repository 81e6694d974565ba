#pragma once

namespace zen {

// How the set-up treats a machine that has a rules database already.
enum class SetupMode {
    Keep,   // keep its tables, logs, options and password; add only what is missing
    Reset,  // start afresh, once the administrator confirmed it on the terminal
};

// "setupAll": makes the data files with their defaults on a fresh machine (or after a
// confirmed reset), registers the panel's autostart and the installation, creates what is
// missing of the database and its built-in records, checks the program files, lists the
// network filter, and installs and starts the service through a second instance
// ("-installAndRun"), waiting for it. Every failed step is said on standard error; the exit
// code is that of the first (service/exit_codes.h).
int SetupAll(SetupMode mode);

// How the removal treats the rules.
enum class RemovalMode {
    Delete,  // offer an export on the terminal, then delete the data and the backups
    Keep,    // keep them for a later set-up, without a question (a package's removal)
};

// "removeAll": offers to export the settings, removes and stops the service (waiting a
// bounded time for it to end), unregisters the autostart, restores the hidden drives, stops
// every panel, deletes the data files and the service's backups, and removes the filter's
// line. Returns the exit code.
int RemoveAll(RemovalMode mode);

}  // namespace zen
