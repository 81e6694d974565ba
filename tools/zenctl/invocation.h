#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zen::ctl {

// Exit codes: what a script can tell apart.
enum ExitCode : int {
    kExitOk = 0,
    kExitRefused = 1,        // the rules refuse the change, or a name is unknown
    kExitUsage = 2,          // the command line is wrong: syntax, times, categories, ranges
    kExitNoDatabase = 3,     // the database cannot be opened or written
    kExitMailFailed = 4,     // the mail server did not take the mail
    kExitWrongPassword = 5,  // the administrator password was not given correctly
};

// Ends a command with a message for standard error and an exit code.
class CommandError : public std::runtime_error {
public:
    CommandError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

// The command line: global options (accepted anywhere, "--name value" or "--name=value"),
// the command's own options, and the positional words. "--" ends the options; a word that
// starts with "-" and a digit is a value (a negative number), not an option.
struct Invocation {
    std::optional<std::string> root;
    bool json = false;
    bool help = false;
    std::optional<std::string> passwordFile;
    std::optional<std::string> newPasswordFile;
    std::optional<std::string> secretFile;
    std::optional<std::string> at;
    std::optional<std::string> checksum;
    bool clear = false;
    bool any = false;
    std::vector<std::string> commandOptions;  // the command's own options given, as named
    std::vector<std::string> words;           // the command name first
};

// Throws CommandError (kExitUsage) for an unknown option or a missing value.
Invocation ParseInvocation(const std::vector<std::string>& arguments);

// Throws CommandError (kExitUsage) when an option of another command was given; `accepted`
// lists the command's own options, separated by blanks.
void CheckCommandOptions(const Invocation& invocation, std::string_view command,
                         std::string_view accepted);

// Makes the environment of this run, before anything reads it: under --root when given
// (which programs zenctl starts inherit as ZEN_ROOT), else from ZEN_ROOT.
void ApplyRoot(const Invocation& invocation);

}  // namespace zen::ctl
