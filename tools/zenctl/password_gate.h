#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zen::ctl {

// The administrator password as the panel's gate takes it, for a terminal or a script.

// Reads a password: the first line of `file` when one is named (a script's way), else asked
// on the controlling terminal with echo off. Throws CommandError when neither works.
std::u16string ReadPassword(const std::optional<std::string>& file, std::string_view prompt);

// Passes at once when `stored` is empty; otherwise reads the password and compares it with
// `stored` exactly (UTF-16 units, case counts). Throws CommandError (kExitWrongPassword)
// when it differs. Returns the text given (empty when nothing was asked).
std::u16string PasswordGate(std::u16string_view stored, const std::optional<std::string>& file);

}  // namespace zen::ctl
