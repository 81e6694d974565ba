#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zen {

// The system's time zone as the file etc/localtime under the root holds it (a TZif file),
// never TZ from the environment: seconds east of UTC at a moment. UTC when the file is
// missing or unreadable.
int64_t SystemZoneOffset(int64_t secondsSince1970);

// The offset of a TZif file's bytes at a moment; nothing when they are no TZif data.
std::optional<int64_t> ZoneOffsetIn(std::string_view tzif, int64_t secondsSince1970);

}  // namespace zen
