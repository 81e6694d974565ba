#include "tools/zenctl/input_checks.h"

#include <pwd.h>
#include <unistd.h>

#include <fstream>
#include <vector>

#include "platform/root.h"
#include "tools/zenctl/commands.h"
#include "tools/zenctl/invocation.h"

namespace zen::ctl {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::u16string NameWord(std::string_view word) {
    if (!word.empty() && (IsBlank(word.front()) || IsBlank(word.back()))) {
        throw CommandError(
            kExitUsage, "\"" + std::string(word) + "\": a name may not start or end with a blank");
    }
    return Text16(word);
}

bool IsMachineAccount(std::string_view name) {
    const std::string login(name);
    if (RootIsSystem()) {
        long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
        std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
        struct passwd entry {};
        struct passwd* found = nullptr;
        return ::getpwnam_r(login.c_str(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
               found != nullptr;
    }
    std::ifstream passwd(Root() / "etc/passwd");
    for (std::string line; std::getline(passwd, line);) {
        if (line.size() > login.size() && line.compare(0, login.size(), login) == 0 &&
            line[login.size()] == ':') {
            return true;
        }
    }
    return false;
}

}  // namespace zen::ctl
