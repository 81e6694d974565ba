#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>

namespace zen {

// The login name of a uid from the password database.
std::optional<std::string> LoginNameOf(uid_t uid);

// The account that runs the set-up: SUDO_USER when set, else the effective user.
std::optional<std::string> SetupAccountName();

// UID_MIN of a login.defs file: the first uid of a person's account (1000 when not set).
uid_t FirstUserUid(const std::filesystem::path& loginDefs);

// Root and system accounts (uid below UID_MIN of /etc/login.defs, default 1000, and
// nobody) are never controlled.
bool IsSystemAccount(uid_t uid);

// The machine's host name ("Unknown" when it cannot be read).
std::string ComputerName();

}  // namespace zen
