#include "tools/zenctl/input_checks.h"

#include "platform/accounts.h"
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
    return UidOfLogin(name).has_value();
}

}  // namespace zen::ctl
