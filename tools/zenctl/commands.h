#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/zenctl/session.h"

namespace zen::ctl {

using Words = std::vector<std::string>;

// One command: its words after the name are checked against the counts before it runs.
struct Command {
    std::string_view name;
    std::string_view usage;    // the words after "zenctl"
    std::string_view summary;  // one line for the list
    std::string_view details;  // the rest of its help
    std::size_t minWords;
    std::size_t maxWords;
    void (*run)(Session& session, const Words& words);
    std::string_view options = {};  // its own options, separated by blanks
};

std::span<const Command> Commands();
const Command* FindCommand(std::string_view name);

// The help texts.
std::string OverallHelp();
std::string CommandHelp(const Command& command);

// A command-line word as a stored text; throws CommandError (kExitUsage) when it is not UTF-8.
std::u16string Text16(std::string_view word);

// The handlers, by topic.
void RunPaths(Session& session, const Words& words);
void RunInit(Session& session, const Words& words);
void RunUsers(Session& session, const Words& words);
void RunShow(Session& session, const Words& words);
void RunGroup(Session& session, const Words& words);
void RunUser(Session& session, const Words& words);
void RunRename(Session& session, const Words& words);
void RunMove(Session& session, const Words& words);
void RunDelete(Session& session, const Words& words);
void RunSet(Session& session, const Words& words);
void RunTimetable(Session& session, const Words& words);
void RunAllow(Session& session, const Words& words);
void RunForbid(Session& session, const Words& words);
void RunLimit(Session& session, const Words& words);
void RunPrograms(Session& session, const Words& words);
void RunProgram(Session& session, const Words& words);
void RunOptions(Session& session, const Words& words);
void RunOption(Session& session, const Words& words);
void RunPassword(Session& session, const Words& words);
void RunCheck(Session& session, const Words& words);
void RunUsage(Session& session, const Words& words);
void RunLog(Session& session, const Words& words);
void RunMessages(Session& session, const Words& words);
void RunMail(Session& session, const Words& words);
void RunReport(Session& session, const Words& words);
void RunStatus(Session& session, const Words& words);
void RunExport(Session& session, const Words& words);
void RunImport(Session& session, const Words& words);

}  // namespace zen::ctl
