#pragma once

namespace zen {

// The named objects every process of the system shares.
inline constexpr char kOptionsMutexName[] = "_QRT_OptionsMutex_";
inline constexpr char kStateMutexName[] = "_QRT_StateMutex_";
inline constexpr char kReloadEventName[] = "__Zentimo_Reload_Event__";
// Set by root only: the service's own stop, and the order for every control panel to quit.
inline constexpr char kStopEventName[] = "__Zentimo_Stop_Event__";
inline constexpr char kPanelStopEventName[] = "__Zentimo_CP_Stop__";

}  // namespace zen
