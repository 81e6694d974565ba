#include "platform/accounts.h"

#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/root.h"

namespace zen {
namespace {

struct Account {
    std::string name;
    uid_t uid;
};

std::vector<Account> RootPasswdAccounts() {
    std::vector<Account> accounts;
    std::ifstream passwd(Root() / "etc/passwd");
    std::string line;
    while (std::getline(passwd, line)) {
        std::istringstream fields(line);
        std::string name, password, number;
        if (std::getline(fields, name, ':') && std::getline(fields, password, ':') &&
            std::getline(fields, number, ':') && !name.empty() && !number.empty() &&
            number.find_first_not_of("0123456789") == std::string::npos) {
            accounts.push_back(
                {name, static_cast<uid_t>(std::strtoul(number.c_str(), nullptr, 10))});
        }
    }
    return accounts;
}

// A test or demo root defines its own accounts in its etc/passwd, so that children's accounts
// never have to exist on the machine.
std::optional<std::string> NameInRootPasswd(uid_t uid) {
    for (const Account& account : RootPasswdAccounts()) {
        if (account.uid == uid) {
            return account.name;
        }
    }
    return std::nullopt;
}

std::optional<std::string> MachineLoginNameOf(uid_t uid) {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
        return std::nullopt;
    }
    return std::string(found->pw_name);
}

std::vector<Account> MachineAccounts() {
    std::vector<Account> accounts;
    ::setpwent();
    while (const struct passwd* entry = ::getpwent()) {
        accounts.push_back({entry->pw_name, entry->pw_uid});
    }
    ::endpwent();
    return accounts;
}

std::vector<Account> Accounts() {
    return RootIsSystem() ? MachineAccounts() : RootPasswdAccounts();
}

bool IsNeverControlled(const Account& account, uid_t firstUserUid) {
    return account.uid < firstUserUid || account.name == "nobody";
}

}  // namespace

uid_t FirstUserUid() {
    std::ifstream defs(Root() / "etc/login.defs");
    std::string line;
    while (std::getline(defs, line)) {
        std::istringstream words(line);
        std::string key;
        long value = 0;
        if (words >> key >> value && key == "UID_MIN" && value > 0) {
            return static_cast<uid_t>(value);
        }
    }
    return 1000;
}

std::optional<std::string> LoginNameOf(uid_t uid) {
    return RootIsSystem() ? MachineLoginNameOf(uid) : NameInRootPasswd(uid);
}

std::optional<uid_t> UidOfLogin(std::string_view name) {
    for (const Account& account : Accounts()) {
        if (account.name == name) {
            return account.uid;
        }
    }
    return std::nullopt;
}

std::optional<std::string> SetupAccountName() {
    if (const char* sudoUser = std::getenv("SUDO_USER"); sudoUser != nullptr && *sudoUser != '\0') {
        return std::string(sudoUser);
    }
    // Whoever runs the set-up is an account of the machine, whatever the root.
    return MachineLoginNameOf(::geteuid());
}

bool IsSystemAccount(uid_t uid) {
    const std::optional<std::string> name = LoginNameOf(uid);
    return uid < FirstUserUid() || (name && *name == "nobody");
}

std::vector<std::string> PersonAccounts() {
    const uid_t first = FirstUserUid();
    std::vector<std::string> names;
    for (const Account& account : Accounts()) {
        if (!IsNeverControlled(account, first)) {
            names.push_back(account.name);
        }
    }
    return names;
}

bool IsSystemAccountName(std::string_view name) {
    const uid_t first = FirstUserUid();
    for (const Account& account : Accounts()) {
        if (account.name == name) {
            return IsNeverControlled(account, first);
        }
    }
    return false;
}

std::string ComputerName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') {
        return "Unknown";
    }
    return name;
}

}  // namespace zen
