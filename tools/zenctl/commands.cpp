#include "tools/zenctl/commands.h"

#include <algorithm>

#include "platform/text.h"
#include "tools/zenctl/invocation.h"

namespace zen::ctl {
namespace {

constexpr std::string_view kGlobalOptions =
    "Options of every command:\n"
    "  --root DIR            use DIR as the root of every path (as ZEN_ROOT does)\n"
    "  --json                machine-readable output; keys are the record field names\n"
    "  --password-file FILE  read the administrator password from FILE's first line\n"
    "  --help, -h            this help\n";

const Command kCommands[] = {
    {"paths", "paths [USER [CATEGORY]]", "show the root, the machine id and every data file",
     "With USER, also the usage counter files of that user (of one CATEGORY when given).", 0, 2,
     RunPaths},
    {"status", "status", "does the service run, and what is allowed now",
     "The service (its pid, since when, and whether systemd or a pid file runs it), the user\n"
     "at the console, the group whose rules are in force, and for each category whether it\n"
     "is allowed now, until when, and the minutes used and left today. It is the evaluation\n"
     "the service makes at its next tick; nothing is counted.",
     0, 0, RunStatus},
    {"init", "init", "create the database as the set-up does",
     "Opens the database in the creator role: missing files are made, with the built-in\n"
     "groups, the account that runs the set-up and the protected programs.",
     0, 0, RunInit},
    {"users", "users", "groups and their users as a tree", "", 0, 0, RunUsers},
    {"show", "show NAME", "the rules of a group, or of a user's group",
     "A user's rules are those of its group: for a user, its group is named and the group's\n"
     "rules are shown. Each timetable is shown as seven rows (Sunday first) of 96 quarter\n"
     "hours.",
     1, 1, RunShow},
    {"group", "group add NAME", "add a group (everything allowed, no limits)", "", 2, 2, RunGroup},
    {"user", "user add NAME GROUP [--any]", "add a user (a login name) to a group",
     "NAME must be an account of this machine; --any takes a name that is not (yet) one.", 3, 3,
     RunUser, "--any"},
    {"rename", "rename NAME NEW-NAME", "rename a user or group",
     "The built-in groups Administrators, Users and Guests cannot be renamed. A group keeps\n"
     "its users and its program entries.",
     2, 2, RunRename},
    {"move", "move USER GROUP", "move a user to another group", "", 2, 2, RunMove},
    {"delete", "delete NAME", "delete a user or an empty group",
     "The built-in groups, a group that still has users and the user logged on at the\n"
     "console cannot be deleted.",
     1, 1, RunDelete},
    {"set", "set NAME FIELD VALUE", "set a group-wide field",
     "FIELD is one of:\n"
     "  Disable on|off            no restriction applies to the group\n"
     "  ShowCustomWarning on|off  show the custom warning instead of the system's texts\n"
     "  CustomWarning TEXT        the custom warning (at most 126 characters)\n"
     "  ShutDown shutdown|logoff  what ends the group's computer time\n"
     "A user's name stands for its group for the first three; each is copied to the\n"
     "group's users.",
     3, 3, RunSet},
    {"timetable", "timetable GROUP CATEGORY on|off", "switch a category's timetable on or off",
     "CATEGORY: computer, internet, programs, cd or removable.", 3, 3, RunTimetable},
    {"allow", "allow GROUP CATEGORY DAYS [HH:MM-HH:MM]", "allow times in a category's timetable",
     "DAYS: all, weekdays, weekend, or days and ranges such as mon-fri or sat,sun.\n"
     "Times are quarter hours; 24:00 ends the day. Without a time range, whole days.",
     3, 4, RunAllow},
    {"forbid", "forbid GROUP CATEGORY DAYS [HH:MM-HH:MM]", "forbid times in a category's timetable",
     "As for allow.", 3, 4, RunForbid},
    {"limit", "limit GROUP CATEGORY on|off|MINUTES [DAYS]",
     "switch a daily limit on or off, or set its minutes",
     "MINUTES is 0 to 1440, for DAYS (all when not given). Setting minutes does not switch\n"
     "the limit on; switching it on shows the minutes of each day.",
     3, 4, RunLimit},
    {"programs", "programs [exceptions|controlled]", "list the program entries",
     "Mode 1 entries are Internet exceptions, Mode 2 entries controlled programs.", 0, 1,
     RunPrograms},
    {"program", "program add|remove exception|controlled GROUP PATH",
     "add or remove a program entry",
     "GROUP is a group or \"All Users\". Adding reads the file's CheckSum; removing takes\n"
     "every entry of that path, or only the one with --checksum 0xXXXXXXXX.",
     4, 4, RunProgram, "--checksum"},
    {"options", "options", "show the options (of secrets, only whether set)", "", 0, 0, RunOptions},
    {"option", "option NAME [VALUE]", "show or set one option",
     "NAME is a field name as \"zenctl options\" shows it. SMTPServer is a host name or\n"
     "address only; its port is the option Port (1 to 65535).",
     1, 2, RunOption},
    {"password", "password", "set or change the administrator password",
     "Asks for the present password when one is set, then for the new one twice\n"
     "(--new-password-file FILE reads it from a file instead). An empty password switches\n"
     "the password off.",
     0, 0, RunPassword, "--new-password-file"},
    {"check", "check NAME CATEGORY [--at TIME]", "what the rules say at a moment",
     "TIME: \"YYYY-MM-DD HH:MM\", \"DAY HH:MM\" (this week, Sunday first) or \"HH:MM\" (today),\n"
     "local time; now when not given. Never counts a minute.",
     2, 2, RunCheck, "--at"},
    {"usage", "usage USER", "minutes used today in each category", "", 1, 1, RunUsage},
    {"log", "log warnings|activity [--clear]", "the records of a log, oldest first",
     "The lines are those of the daily report. --clear empties the log.", 1, 1, RunLog, "--clear"},
    {"messages", "messages", "the messages waiting for the control panels", "", 0, 0, RunMessages},
    {"mail", "mail test|report|password|tls [MODE]",
     "test mail, report now, mail password, encryption",
     "test: the notification e-mail \"Test notification e-mail settings\".\n"
     "report: the daily report, made and sent as the service makes it, except that the time\n"
     "of the last report is left alone.\n"
     "Both print the mail server's last answer; the exit code is 4 when the mail did not go.\n"
     "password: the mail account's server password (at most 23 characters), asked twice on\n"
     "the terminal without echo, or read from --secret-file FILE.\n"
     "tls [verify|encrypt|off]: show or set (root only) how mail is encrypted, a setting of\n"
     "the machine in /etc/zentimo/zentimo.conf. verify (the default) encrypts whenever the\n"
     "server can and checks its certificate; encrypt takes any certificate (a home relay\n"
     "with its own); off never encrypts. The password never goes in clear to a server that\n"
     "offers encryption.",
     1, 2, RunMail, "--secret-file"},
    {"report", "report password", "set the password of the daily report's archive",
     "At most 23 characters, asked twice on the terminal without echo, or read from\n"
     "--secret-file FILE. Empty sends the archive without a password.",
     1, 1, RunReport, "--secret-file"},
    {"export", "export FILE", "save the rules and shareable options to a settings file",
     "Writes every user and group, every program entry and the options that are not\n"
     "secrets (no password is ever written) as the control panel's settings file.",
     1, 1, RunExport},
    {"import", "import FILE", "load a settings file",
     "The whole file is read and checked first; only a sound file changes anything. Its\n"
     "users and groups replace those of the same name, its program entries those with the\n"
     "same key; others stay. Options absent from the file keep their values.",
     1, 1, RunImport},
};

}  // namespace

std::span<const Command> Commands() {
    return kCommands;
}

const Command* FindCommand(std::string_view name) {
    const auto found = std::find_if(std::begin(kCommands), std::end(kCommands),
                                    [&](const Command& command) { return command.name == name; });
    return found == std::end(kCommands) ? nullptr : &*found;
}

std::string OverallHelp() {
    std::string text =
        "Usage: zenctl [OPTIONS] COMMAND [ARGUMENTS]\n"
        "Reads and edits the rules of Zentimo, as the control panel does.\n\nCommands:\n";
    for (const Command& command : kCommands) {
        std::string usage(command.usage);
        usage.resize(std::max<std::size_t>(usage.size() + 1, 44), ' ');
        text.append("  ").append(usage).append(command.summary).append("\n");
    }
    return text.append("\n")
        .append(kGlobalOptions)
        .append(
            "\n\"zenctl COMMAND --help\" tells more. Changes ask for the administrator "
            "password\nwhen one is set.\n");
}

std::string CommandHelp(const Command& command) {
    std::string text =
        "Usage: zenctl " + std::string(command.usage) + "\n" + std::string(command.summary) + ".\n";
    if (!command.details.empty()) {
        text.append("\n").append(command.details).append("\n");
    }
    return text.append("\n").append(kGlobalOptions);
}

std::u16string Text16(std::string_view word) {
    auto text = Utf8ToUtf16Strict(word);
    if (!text) {
        throw CommandError(kExitUsage, "\"" + std::string(word) + "\" is not valid UTF-8");
    }
    return *text;
}

}  // namespace zen::ctl
