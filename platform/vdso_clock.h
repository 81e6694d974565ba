#pragma once

#include <cstdint>

namespace zen {

// Seconds since 1970 of CLOCK_REALTIME from the kernel's vDSO, called by its own address, or by
// a system call when there is none: no library preloaded into the process can stand between.
int64_t KernelRealtimeSeconds();

}  // namespace zen
