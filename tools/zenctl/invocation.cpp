#include "tools/zenctl/invocation.h"

#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <utility>

#include "platform/root.h"

namespace zen::ctl {
namespace {

using ValueOption = std::optional<std::string> Invocation::*;

constexpr std::pair<std::string_view, ValueOption> kValueOptions[] = {
    {"--root", &Invocation::root},
    {"--password-file", &Invocation::passwordFile},
    {"--new-password-file", &Invocation::newPasswordFile},
    {"--at", &Invocation::at},
    {"--checksum", &Invocation::checksum},
};

constexpr std::pair<std::string_view, bool Invocation::*> kFlagOptions[] = {
    {"--json", &Invocation::json},
    {"--help", &Invocation::help},
    {"-h", &Invocation::help},
    {"--clear", &Invocation::clear},
};

}  // namespace

Invocation ParseInvocation(const std::vector<std::string>& arguments) {
    Invocation invocation;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (optionsEnded || word.size() < 2 || word[0] != '-') {
            invocation.words.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = word.find('=');
        const std::string_view name = std::string_view(word).substr(0, equals);
        bool known = false;
        for (const auto& [flag, member] : kFlagOptions) {
            if (name == flag && equals == std::string::npos) {
                invocation.*member = true;
                known = true;
            }
        }
        for (const auto& [option, member] : kValueOptions) {
            if (name != option) {
                continue;
            }
            if (equals != std::string::npos) {
                invocation.*member = word.substr(equals + 1);
            } else if (i + 1 < arguments.size()) {
                invocation.*member = arguments[++i];
            } else {
                throw CommandError(kExitUsage, std::string(option) + " needs a value");
            }
            known = true;
        }
        if (!known) {
            throw CommandError(kExitUsage, "unknown option " + word + " (see zenctl --help)");
        }
    }
    return invocation;
}

void ApplyRoot(const Invocation& invocation) {
    if (!invocation.root) {
        return;
    }
    if (InstalledForReal()) {
        throw CommandError(kExitUsage,
                           "--root is not available: Zentimo is installed on this machine");
    }
    std::error_code error;
    const std::filesystem::path root = std::filesystem::absolute(*invocation.root, error);
    if (error || !std::filesystem::is_directory(root, error)) {
        throw CommandError(kExitUsage, "--root " + *invocation.root + ": no such directory");
    }
    ::setenv("ZEN_ROOT", root.c_str(), 1);
}

}  // namespace zen::ctl
