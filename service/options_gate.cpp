#include "service/options_gate.h"

#include <chrono>

#include "common/db/db_manager.h"
#include "common/db/error_log.h"

namespace zen {
namespace {

constexpr std::chrono::milliseconds kOptionsWait{10'000};

bool Had(const NamedMutexLock& lock) {
    if (!lock.owns()) {
        LogError("Options mutex not available: %s",
                 lock.result() == LockResult::TimedOut ? "WAIT_TIMEOUT" : "WAIT_FAILED");
    }
    return lock.owns();
}

}  // namespace

bool OptionsGate(CDBManager& db) {
    const NamedMutexLock lock(db.OptionsMutex(), kOptionsWait);
    return Had(lock);
}

std::optional<Options> OptionsSnapshot(CDBManager& db) {
    const NamedMutexLock lock(db.OptionsMutex(), kOptionsWait);
    if (!Had(lock)) {
        return std::nullopt;
    }
    return *db.LockOptions();
}

}  // namespace zen
