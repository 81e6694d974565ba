#include "tools/zenctl/new_secret.h"

#include "tools/zenctl/invocation.h"
#include "tools/zenctl/password_gate.h"

namespace zen::ctl {

std::u16string ReadNewSecret(const std::optional<std::string>& file, std::string_view what) {
    const std::u16string secret = ReadPassword(file, "New " + std::string(what) + ": ");
    if (!file &&
        ReadPassword(file, "Re-enter " + std::string(what) + " for verification: ") != secret) {
        throw CommandError(kExitRefused, std::string(what) + "s do not match; nothing was changed");
    }
    return secret;
}

}  // namespace zen::ctl
