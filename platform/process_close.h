#pragma once

#include <span>

namespace zen {

// Asks processes to end (SIGTERM), waits up to `graceMs` for all of them together on their
// pidfds, then kills those still running: many programs that ignore the request cost one
// wait, not one each. True when all are gone, including those gone before the first signal.
bool CloseProcessesByPidfd(std::span<const int> pidfds, int graceMs = 5000);

}  // namespace zen
