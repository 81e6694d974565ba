#pragma once

#include <string_view>

namespace zen {

// The service's string table, by string number; "" for a number it does not have.
std::string_view ServiceString(int id);

inline constexpr int kIdsProductName = 132;
inline constexpr int kIdsServiceName = 134;
inline constexpr int kIdsOpenManagerFailed = 135;
inline constexpr int kIdsStartFailed = 136;
inline constexpr int kIdsOpenServiceFailed = 137;
inline constexpr int kIdsDeleteFailed = 139;
inline constexpr int kIdsOptionsFailed = 140;
inline constexpr int kIdsDatabaseFailed = 141;
inline constexpr int kIdsDiskEnabled = 143;
inline constexpr int kIdsDiskDisabled = 144;
// The computer-time warnings: a logoff, or a power-off, in one minute.
inline constexpr int kIdsLogoffWarning = 147;
inline constexpr int kIdsShutdownWarning = 148;
inline constexpr int kIdsReasonProgramLimit = 149;
inline constexpr int kIdsProgramClosedNamed = 152;
inline constexpr int kIdsReasonOutsideTime = 153;
inline constexpr int kIdsProgramClosed = 154;

}  // namespace zen
