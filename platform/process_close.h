#pragma once

namespace zen {

// Asks a process to end (SIGTERM), waits up to `graceMs` for it on its pidfd, then kills it.
// True when the process is gone, including when it was gone before the first signal.
bool CloseProcessByPidfd(int pidfd, int graceMs = 5000);

}  // namespace zen
