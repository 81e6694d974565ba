#pragma once

namespace zen {

// The named objects every process of the system shares.
inline constexpr char kOptionsMutexName[] = "_QRT_OptionsMutex_";
inline constexpr char kStateMutexName[] = "_QRT_StateMutex_";
inline constexpr char kReloadEventName[] = "__Zentimo_Reload_Event__";

}  // namespace zen
