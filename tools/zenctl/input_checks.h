#pragma once

#include <string>
#include <string_view>

namespace zen::ctl {

// Checks of command-line words that the stored rules cannot make themselves. Each throws
// CommandError with a message that says what is wrong, before anything is changed.

// A user or group name as typed: valid UTF-8, without blanks at its start or end (they would
// make a name that looks the same as another and matches no login).
std::u16string NameWord(std::string_view word);

// Whether `name` is an account of this machine: of the password database under "/", of the
// root's etc/passwd under any other root.
bool IsMachineAccount(std::string_view name);

}  // namespace zen::ctl
