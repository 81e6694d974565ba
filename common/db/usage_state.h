#pragma once

#include <cstdint>
#include <filesystem>

#include "platform/named_mutex.h"

namespace zen {

// How many minutes a user spent in a category on the counter's day: one small unenciphered
// file per (user, category) pair, written only while holding the state mutex.
struct UsageCounterFile {
    int64_t savedTime;       // seconds since 1970 when written; its local day is the counter's
    uint32_t lastCountTime;  // low 32 bits of the seconds since 1970 of the last counted minute
    uint32_t minutesUsed;
};
static_assert(sizeof(UsageCounterFile) == 16);

// The counter file of a pair: the hidden name for StringCrc(user name) + category seed.
std::filesystem::path UsageFileName(uint32_t userCrc, uint32_t categorySeed);

// Writes the counter with the current time as saved time, replacing the file at once.
// 1 on success; failures are logged.
int SaveUsage(NamedMutex& stateMutex, uint32_t lastCountTime, uint32_t minutesUsed,
              uint32_t userCrc, uint32_t categorySeed);

// Reads the counter; 1 when the file held exactly its 16 bytes. On failure `out` keeps what
// the caller put there. A file that cannot be opened (a missing one too) is logged.
int LoadUsage(NamedMutex& stateMutex, UsageCounterFile& out, uint32_t userCrc,
              uint32_t categorySeed);

struct UsageRead {
    UsageCounterFile counter{};  // zeros when not loaded
    bool loaded = false;
};

// The read of the evaluations, which run at every socket call of a controlled process: the
// counter as this process last read or wrote it, as long as no process has saved a counter
// since (every save bumps a generation word shared by all processes), else LoadUsage.
// `reportMissing` false keeps a missing file out of the error log.
UsageRead LoadUsageRemembered(NamedMutex& stateMutex, uint32_t userCrc, uint32_t categorySeed,
                              bool reportMissing = true);

// Maps the shared generation of the remembered counters again when its file was replaced or
// damaged, forgetting what was remembered against it. The service calls it at every tick.
void RefreshUsageGeneration();

// Holds the state mutex for a scope. The wait is bounded, so that a process stopped while
// holding it (any account can stop its own processes) cannot halt counting everywhere: after
// the time-out the operation is logged and goes on unguarded. When the previous holder died,
// what it was writing is in doubt, so every process forgets the counters it remembers.
class StateLock {
public:
    StateLock(NamedMutex& stateMutex, const char* operation);
    StateLock(const StateLock&) = delete;
    StateLock& operator=(const StateLock&) = delete;

    bool owns() const { return lock_.owns(); }

private:
    NamedMutexLock lock_;
};

}  // namespace zen
