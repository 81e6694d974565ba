#include "service/verbs.h"

#include <strings.h>

#include <array>
#include <chrono>
#include <functional>

#include "platform/console_user.h"
#include "service/main_loop.h"
#include "service/service_manager.h"
#include "service/service_strings.h"
#include "service/setup_sequences.h"

namespace zen {
namespace {

struct Verb {
    std::string_view name;
    std::function<void()> run;
};

constexpr std::chrono::milliseconds kServiceLockWaitLimit{2000};

bool SameVerb(std::string_view argument, std::string_view verb) {
    return argument.size() == verb.size() &&
           ::strncasecmp(argument.data(), verb.data(), verb.size()) == 0;
}

}  // namespace

int RunVerbs(std::span<const std::string_view> arguments) {
    Environment environment = WithConsoleSessions(Environment::FromProcess(arguments));
    // No lock the service takes is held for long by anyone honest; past this, the service
    // gives up the step and keeps the rules it has.
    environment.lockWaitLimit = kServiceLockWaitLimit;
    SetEnvironment(std::move(environment));
    const std::string name(ServiceString(kIdsServiceName));
    int exitCode = 0;
    const auto runLoop = [&](bool debugMode) {
        exitCode = ServiceMainLoop(name, debugMode, Env()).Run();
    };
    const std::array<Verb, 7> verbs{{
        {"install", [] {}},
        {"remove", [] {}},
        {"debug", [&] { runLoop(true); }},
        {"service", [&] { runLoop(false); }},
        {"installAndRun",
         [&] {
             InstallService(name);
             StartServiceFromSCM(name);
         }},
        {"setupAll", [&] { exitCode = SetupAll(); }},
        {"removeAll", [&] { exitCode = RemoveAll(); }},
    }};
    for (const std::string_view argument : arguments) {
        if (argument.empty() || (argument.front() != '-' && argument.front() != '/')) {
            continue;
        }
        for (const Verb& verb : verbs) {
            if (SameVerb(argument.substr(1), verb.name)) {
                verb.run();
            }
        }
    }
    return exitCode;
}

}  // namespace zen
