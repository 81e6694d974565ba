#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zen {

// The login name of a uid from the password database; under a root other than "/", from the
// root's etc/passwd.
std::optional<std::string> LoginNameOf(uid_t uid);
// The uid of a login name, from the same database.
std::optional<uid_t> UidOfLogin(std::string_view name);

// UID_MIN of login.defs under the root (1000 when it is not set): the first uid of a person.
uid_t FirstUserUid();

// The account that runs the set-up: SUDO_USER when set, else the effective user.
std::optional<std::string> SetupAccountName();

// Root and system accounts (uid below UID_MIN, and nobody) are never controlled.
bool IsSystemAccount(uid_t uid);

// The login names of the accounts the system may control (every account but root, system
// accounts and nobody), in the order of the password database.
std::vector<std::string> PersonAccounts();
struct PersonAccount {
    std::string name;
    uid_t uid = 0;
};
// PersonAccounts with their uids.
std::vector<PersonAccount> PersonAccountIds();

// Whether `name` is the login of an account the system never controls (root, a system
// account, nobody); a name no account has is not.
bool IsSystemAccountName(std::string_view name);

// The machine's host name ("Unknown" when it cannot be read).
std::string ComputerName();

}  // namespace zen
