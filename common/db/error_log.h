#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>

namespace zen {

// The error log shared by every process: one line per entry,
// "hh:mm:ss, MM/DD/YY, <module path>, <message>\r\n", appended in one write.
// When the file cannot be opened the entry goes to syslog instead.
void LogError(const char* format, ...) __attribute__((format(printf, 1, 2)));

// From now on, a message this process logged less than `interval` ago is not logged again
// (none by default). The service sets an hour: a failure that lasts would otherwise fill
// the log with the same line every tick.
void SetRepeatInterval(std::chrono::seconds interval);

// Logs "ShowSysError: Code: Code: 0x<code>, <subject>", or with code 0
// "ShowSysError: Code: System Code: 0x<errno>, <subject>". Always returns 0, so that callers
// can return its result as their failure.
int ShowSysError(uint32_t code, std::string_view subject);

}  // namespace zen
