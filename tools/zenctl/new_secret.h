#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zen::ctl {

// A new password or secret: the first line of `file` when one is named (a script's way),
// otherwise asked twice on the terminal without echo. Throws CommandError (kExitRefused)
// when the two entries differ, before anything is changed.
std::u16string ReadNewSecret(const std::optional<std::string>& file, std::string_view what);

}  // namespace zen::ctl
