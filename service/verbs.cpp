#include "service/verbs.h"

#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <functional>

#include "platform/console_user.h"
#include "service/exit_codes.h"
#include "service/main_loop.h"
#include "service/service_manager.h"
#include "service/service_strings.h"
#include "service/setup_sequences.h"

namespace zen {
namespace {

constexpr char kUsage[] = R"(Usage: zensvc VERB [OPTION]...
The Zentimo enforcement service and its installer. Verbs are written with '-' or '/', in any
letter case, and run left to right; words without either are ignored.

  -setupAll       set up the whole system; a machine that has rules keeps them
  -removeAll      remove the whole system (asks on the terminal whether to export the
                  settings first), deleting the rules, logs and backups
  -service        the service itself, as systemd starts it
  -debug          the same in the foreground, each tick shown on standard error
  -installAndRun  install the service's unit, enable and start it
  -install, -remove  recognised; they do nothing

Options:
  --reset         with -setupAll: start afresh, deleting the rules, logs and password,
                  after a yes on the terminal
  --keep-data     with -removeAll: keep the rules, logs and backups, and ask nothing
  -h, --help      show this text

Exit codes: 0 done; 1 nothing set up, or a reset declined; 2 a word zensvc does not know;
3 the unit not installed; 4 the service not started; 5 the Internet filter not installed;
6 a program file not root's alone; 255 the preload list unreadable.
See zensvc(8).
)";

struct Verb {
    std::string_view name;
    std::function<void()> run;
};

constexpr std::chrono::milliseconds kServiceLockWaitLimit{2000};

bool SameWord(std::string_view argument, std::string_view word) {
    return argument.size() == word.size() &&
           ::strncasecmp(argument.data(), word.data(), word.size()) == 0;
}

// Only words with a prefix are meant for zensvc; others are ignored, as they always were.
bool IsPrefixed(std::string_view argument) {
    return !argument.empty() && (argument.front() == '-' || argument.front() == '/');
}

bool IsVerbOf(std::string_view argument, std::span<const Verb> verbs) {
    return IsPrefixed(argument) && std::any_of(verbs.begin(), verbs.end(), [&](const Verb& verb) {
               return SameWord(argument.substr(1), verb.name);
           });
}

bool Has(std::span<const std::string_view> arguments, std::string_view word) {
    return std::find(arguments.begin(), arguments.end(), word) != arguments.end();
}

}  // namespace

int RunVerbs(std::span<const std::string_view> arguments) {
    Environment environment = WithConsoleSessions(Environment::FromProcess(arguments));
    // No lock the service takes is held for long by anyone honest; past this, the service
    // gives up the step and keeps the rules it has.
    environment.lockWaitLimit = kServiceLockWaitLimit;
    SetEnvironment(std::move(environment));
    const std::string name(ServiceString(kIdsServiceName));
    int exitCode = kExitDone;
    const auto runLoop = [&](bool debugMode) {
        exitCode = ServiceMainLoop(name, debugMode, Env()).Run();
    };
    const SetupMode setup = Has(arguments, "--reset") ? SetupMode::Reset : SetupMode::Keep;
    const RemovalMode removal =
        Has(arguments, "--keep-data") ? RemovalMode::Keep : RemovalMode::Delete;
    const std::array<Verb, 7> verbs{{
        {"install", [] {}},
        {"remove", [] {}},
        {"debug", [&] { runLoop(true); }},
        {"service", [&] { runLoop(false); }},
        {"installAndRun",
         [&] {
             if (InstallService(name) == 0) {
                 exitCode = kExitUnitNotInstalled;
             } else if (StartServiceFromSCM(name) == 0) {
                 exitCode = kExitServiceNotStarted;
             }
         }},
        {"setupAll", [&] { exitCode = SetupAll(setup); }},
        {"removeAll", [&] { exitCode = RemoveAll(removal); }},
    }};
    // The whole line is checked first: a mistyped verb (or option) would otherwise do nothing
    // and end as if it had done its work.
    // "-tick MS" hurries a test root's service (the environment takes it).
    constexpr std::array<std::string_view, 5> kOptions{"--reset", "--keep-data", "--help", "-h",
                                                       "-tick"};
    for (const std::string_view argument : arguments) {
        if (IsPrefixed(argument) && !IsVerbOf(argument, verbs) && !Has(kOptions, argument)) {
            std::fprintf(stderr, "zensvc: unknown word \"%.*s\"\n%s",
                         static_cast<int>(argument.size()), argument.data(), kUsage);
            return kExitUsage;
        }
    }
    if (Has(arguments, "--help") || Has(arguments, "-h")) {
        std::fputs(kUsage, stdout);
        return kExitDone;
    }
    if (arguments.empty() && ::isatty(STDERR_FILENO) == 1) {
        std::fputs(kUsage, stderr);
    }
    for (const std::string_view argument : arguments) {
        for (const Verb& verb : verbs) {
            if (IsVerbOf(argument, std::span(&verb, 1))) {
                verb.run();
            }
        }
    }
    return exitCode;
}

}  // namespace zen
