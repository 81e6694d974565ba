#include "platform/process_account.h"

#include <charconv>
#include <fstream>
#include <sstream>

#include "platform/accounts.h"
#include "platform/root.h"

namespace zen {
namespace {

// "name:password:uid:..." lines of the root's etc/passwd.
std::optional<std::string> RootLoginNameOf(uid_t uid) {
    std::ifstream passwd(Root() / "etc/passwd");
    std::string line;
    while (std::getline(passwd, line)) {
        std::istringstream fields(line);
        std::string name, password, number;
        if (!std::getline(fields, name, ':') || !std::getline(fields, password, ':') ||
            !std::getline(fields, number, ':')) {
            continue;
        }
        uid_t found = 0;
        const auto [end, error] =
            std::from_chars(number.data(), number.data() + number.size(), found);
        if (error == std::errc() && end == number.data() + number.size() && !number.empty() &&
            found == uid) {
            return name;
        }
    }
    return std::nullopt;
}

}  // namespace

ProcessAccount AccountOfUid(uid_t uid) {
    if (RootIsSystem()) {
        return {LoginNameOf(uid).value_or(""), uid == 0 || IsSystemAccount(uid)};
    }
    const std::string name = RootLoginNameOf(uid).value_or("");
    return {name, uid == 0 || uid < FirstUserUid(Root() / "etc/login.defs") || name == "nobody"};
}

}  // namespace zen
