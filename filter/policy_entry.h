#pragma once

// The entry points of libzensp-rules.so, the part of the filter that reads the rules. It is
// loaded by libzensp.so at a process's first Internet socket, so that a process that never
// opens one loads neither it nor the C++ runtime and libcrypto it needs.
extern "C" {

// Runs the checks of one operation in this process's policy (opened at the first call):
// the daily limit first when `dailyLimit` is set, then the timetable. A zen::filter::Verdict;
// never throws (a failure of the rules refuses quietly).
int zensp_rules_check(int dailyLimit) noexcept;

// Leaves the policy in force alone and opens a new one at the next check: in a forked child
// (the parent's watcher thread does not exist there), or when the application closed files
// the policy keeps open.
void zensp_rules_reopen() noexcept;
}

// The file name of the library, next to libzensp.so.
#define ZENSP_RULES_LIBRARY "libzensp-rules.so"
