#pragma once

#include <cstdint>
#include <string>

namespace zen {

// The value of the "Date" header: local time and the zone's standard offset from UTC in
// whole hours, e.g. "05 Mar 24 14:03:09 -0500" or "05 Jul 24 09:00:00 0100".
std::string MailDate(int64_t secondsSince1970);

}  // namespace zen
