#include <iostream>

#include "tools/zenctl/commands.h"
#include "tools/zenctl/invocation.h"
#include "tools/zenctl/output.h"
#include "tools/zenctl/session.h"

namespace {

int Run(const std::vector<std::string>& arguments) {
    using namespace zen::ctl;
    Invocation invocation = ParseInvocation(arguments);
    if (invocation.words.empty() || invocation.words.front() == "help") {
        const bool asked = invocation.help || !invocation.words.empty();
        const Command* topic =
            invocation.words.size() > 1 ? FindCommand(invocation.words[1]) : nullptr;
        (asked ? std::cout : std::cerr) << (topic ? CommandHelp(*topic) : OverallHelp());
        return asked ? kExitOk : kExitUsage;
    }
    const Command* command = FindCommand(invocation.words.front());
    if (command == nullptr) {
        throw CommandError(
            kExitUsage, "unknown command \"" + invocation.words.front() + "\" (see zenctl --help)");
    }
    if (invocation.help) {
        std::cout << CommandHelp(*command);
        return kExitOk;
    }
    CheckCommandOptions(invocation, command->name, command->options);
    const Words words(invocation.words.begin() + 1, invocation.words.end());
    if (words.size() < command->minWords || words.size() > command->maxWords) {
        throw CommandError(kExitUsage, "usage: zenctl " + std::string(command->usage));
    }
    // Before anything reads the root.
    ApplyRoot(invocation);
    Output output(std::cout, invocation.json);
    Session session(std::move(invocation), output);
    command->run(session, words);
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const zen::ctl::CommandError& error) {
        std::cerr << "zenctl: " << error.what() << '\n';
        return error.code();
    } catch (const std::exception& error) {
        std::cerr << "zenctl: " << error.what() << '\n';
        return zen::ctl::kExitNoDatabase;
    }
}
