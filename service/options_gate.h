#pragma once

#include <optional>

#include "common/db/records.h"

namespace zen {

class CDBManager;

// The options mutex can be held by any account's process. The service's own waits for it
// are bounded, so that a holder that never lets go delays enforcement but never stops it.

// Waits for a writer in progress (at most the bound) and lets go at once. False on time-out.
bool OptionsGate(CDBManager& db);

// A copy of the options taken under the mutex; nothing when it could not be had in time.
std::optional<Options> OptionsSnapshot(CDBManager& db);

}  // namespace zen
