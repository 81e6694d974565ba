#include "platform/accounts.h"

#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace zen {

uid_t FirstUserUid(const std::filesystem::path& loginDefs) {
    std::ifstream defs(loginDefs);
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
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
        return std::nullopt;
    }
    return std::string(found->pw_name);
}

std::optional<std::string> SetupAccountName() {
    if (const char* sudoUser = std::getenv("SUDO_USER"); sudoUser != nullptr && *sudoUser != '\0') {
        return std::string(sudoUser);
    }
    return LoginNameOf(::geteuid());
}

bool IsSystemAccount(uid_t uid) {
    static const uid_t firstUser = FirstUserUid("/etc/login.defs");
    const std::optional<std::string> name = LoginNameOf(uid);
    return uid < firstUser || (name && *name == "nobody");
}

std::string ComputerName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') {
        return "Unknown";
    }
    return name;
}

}  // namespace zen
