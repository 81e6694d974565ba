#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace zen {

inline constexpr uint32_t kCheckSumFailed = 0xFFFFFFFF;

// CRC-32 of at most the first 4000 bytes of a file: what identifies a program.
// kCheckSumFailed when the file cannot be read whole that far.
uint32_t CheckSum(const std::filesystem::path& file);
// The same of a file already open; `name` names it in the error log.
uint32_t CheckSumOfOpenFile(int fd, const char* name);

// CRC-32 of the UTF-16LE bytes of a name, without terminator: what names usage counters.
uint32_t StringCrc(std::u16string_view text);

}  // namespace zen
