#pragma once

#include <cstdint>
#include <string_view>

namespace zen {

// The error log shared by every process: one line per entry,
// "hh:mm:ss, MM/DD/YY, <module path>, <message>\r\n", appended in one write.
// When the file cannot be opened the entry goes to syslog instead.
void LogError(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Logs "ShowSysError: Code: Code: 0x<code>, <subject>", or with code 0
// "ShowSysError: Code: System Code: 0x<errno>, <subject>". Always returns 0, so that callers
// can return its result as their failure.
int ShowSysError(uint32_t code, std::string_view subject);

}  // namespace zen
