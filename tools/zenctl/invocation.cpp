#include "tools/zenctl/invocation.h"

#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <utility>

#include "platform/console_user.h"

namespace zen::ctl {
namespace {

using ValueOption = std::optional<std::string> Invocation::*;

// Global options apply to every command; the others only to the commands that name them.
struct ValueOptionName {
    std::string_view name;
    ValueOption member;
    bool global;
};
struct FlagOptionName {
    std::string_view name;
    bool Invocation::*member;
    bool global;
};

constexpr ValueOptionName kValueOptions[] = {
    {"--root", &Invocation::root, true},
    {"--password-file", &Invocation::passwordFile, true},
    {"--new-password-file", &Invocation::newPasswordFile, false},
    {"--secret-file", &Invocation::secretFile, false},
    {"--at", &Invocation::at, false},
    {"--checksum", &Invocation::checksum, false},
};

constexpr FlagOptionName kFlagOptions[] = {
    {"--json", &Invocation::json, true}, {"--help", &Invocation::help, true},
    {"-h", &Invocation::help, true},     {"--clear", &Invocation::clear, false},
    {"--any", &Invocation::any, false},
};

bool IsNegativeNumber(std::string_view word) {
    return word.size() >= 2 && word[0] == '-' && word[1] >= '0' && word[1] <= '9';
}

}  // namespace

Invocation ParseInvocation(const std::vector<std::string>& arguments) {
    Invocation invocation;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (optionsEnded || word.size() < 2 || word[0] != '-' || IsNegativeNumber(word)) {
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
        for (const auto& [flag, member, global] : kFlagOptions) {
            if (name == flag && equals == std::string::npos) {
                invocation.*member = true;
                known = true;
                if (!global) {
                    invocation.commandOptions.emplace_back(flag);
                }
            }
        }
        for (const auto& [option, member, global] : kValueOptions) {
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
            if (!global) {
                invocation.commandOptions.emplace_back(option);
            }
        }
        if (!known) {
            throw CommandError(kExitUsage, "unknown option " + word + " (see zenctl --help)");
        }
    }
    return invocation;
}

void CheckCommandOptions(const Invocation& invocation, std::string_view command,
                         std::string_view accepted) {
    for (const std::string& option : invocation.commandOptions) {
        bool found = false;
        for (std::size_t start = 0; start < accepted.size();) {
            const std::size_t end = std::min(accepted.find(' ', start), accepted.size());
            found = found || accepted.substr(start, end - start) == option;
            start = end + 1;
        }
        if (!found) {
            throw CommandError(kExitUsage, option + " is not an option of \"" +
                                               std::string(command) + "\" (see zenctl " +
                                               std::string(command) + " --help)");
        }
    }
}

void ApplyRoot(const Invocation& invocation) {
    if (!invocation.root) {
        SetEnvironment(WithConsoleSessions(Environment::FromProcess()));
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
    // Programs zenctl starts run under the same root.
    ::setenv("ZEN_ROOT", root.c_str(), 1);
    SetEnvironment(WithConsoleSessions(Environment::ForRoot(root)));
}

}  // namespace zen::ctl
