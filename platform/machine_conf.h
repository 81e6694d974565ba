#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace zen {

// The machine's own settings, "key=value" lines of etc/zentimo/zentimo.conf: the installation's
// marks and settings that only root may change (how mail is encrypted).

// A key's value, read only when root alone could have written the file; nothing when the file,
// or its line, is missing or untrusted.
std::optional<std::string> MachineConfValue(std::string_view key);

// Sets the keys to their values and keeps every other line, so that one writer never drops
// another's setting. The file is root-owned, 0644, and replaced whole. False with errno set
// when it cannot be written.
bool StoreMachineConfValues(
    std::initializer_list<std::pair<std::string_view, std::string_view>> values);

// Deletes the keys' lines and keeps every other; a file left without a setting is deleted,
// and its folder when that is left empty. False with errno set when it cannot be written.
bool RemoveMachineConfValues(std::initializer_list<std::string_view> keys);

// A line without the blanks around it.
std::string_view TrimmedLine(std::string_view line);

}  // namespace zen
