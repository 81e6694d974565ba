#include <chrono>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/db/access.h"
#include "common/db/checksum.h"
#include "common/db/db_manager.h"
#include "common/db/log_records.h"
#include "common/db/messages.h"
#include "common/db/rules_model.h"
#include "common/db/usage_state.h"
#include "platform/clock.h"
#include "platform/root.h"
#include "platform/text.h"
#include "support/eventually.h"
#include "support/temp_root.h"
#include "zenctl/zenctl_fixture.h"
#include "zenctl/zenctl_runner.h"

namespace zen {
namespace {

using test::Eventually;

using test::Zenctl;

using test::ZenctlTest;

TEST_F(ZenctlTest, AnotherProcesssWatcherFollowsAChangeAtOnce) {
    CDBManager watcher;
    watcher.SetCurrentUserName(u"alice");
    ASSERT_EQ(watcher.Init(false), 1);
    ASSERT_EQ(watcher.CurrentRulesCopy().Disable, 0u);

    Run({"group", "add", "Teens"});
    Run({"set", "alice", "Disable", "on"});
    Run({"option", "Port", "587"});
    Run({"--root", root.path().string(), "forbid", "Kids", "internet", "all"});

    EXPECT_TRUE(Eventually([&] { return FindUser(watcher.Users(), u"Teens").has_value(); }));
    EXPECT_TRUE(Eventually([&] { return watcher.OptionsCopy().Port == 587; }));
    // The rules in force for the watcher's user follow too, as the tray icon needs.
    EXPECT_TRUE(Eventually([&] {
        const FastUsersRecord rules = watcher.CurrentRulesCopy();
        return rules.Disable == 1 && rules.timetables[kInternetSlot].rows[3][5] == 0;
    }));
}

TEST_F(ZenctlTest, CheckAgreesWithTheEvaluationAtQuarterHourBoundaries) {
    Run({"forbid", "Kids", "internet", "mon", "08:15-08:45"});
    Run({"forbid", "Kids", "internet", "mon-fri", "14:00-14:15"});
    Run({"allow", "Kids", "internet", "mon", "08:30-08:45"});
    CDBManager db;
    ASSERT_EQ(db.Init(false), 1);
    const FastUsersRecord kids = *FindUser(db.Users(), u"Kids");
    int forbidden = 0;
    for (const int hour : {8, 14}) {
        for (const int minute : {0, 1, 15, 16, 30, 31, 45, 46, 59}) {
            char at[32];
            std::snprintf(at, sizeof at, "2024-05-06 %02d:%02d", hour, minute);  // a Monday
            const auto result = Zenctl({"check", "alice", "internet", "--at", at, "--json"});
            ASSERT_EQ(result.code, 0) << result.err;
            LocalTime moment;
            moment.weekday = 1;
            moment.hour = hour;
            moment.minute = minute;
            const bool allowed = CategoryAllowedAt(kids, false, Category::Internet, moment);
            forbidden += allowed ? 0 : 1;
            EXPECT_NE(result.out.find(allowed ? "\"allowed\": true" : "\"allowed\": false"),
                      std::string::npos)
                << at << "\n"
                << result.out;
            EXPECT_NE(result.out.find("\"slot\": " + std::to_string(SlotIndex(hour, minute))),
                      std::string::npos)
                << at;
        }
    }
    EXPECT_GT(forbidden, 0);
    // The weekday form names the same quarter hour of this week's Monday.
    const auto weekday = Zenctl({"check", "alice", "internet", "--at", "Mon 08:16"});
    EXPECT_NE(weekday.out.find(": forbidden"), std::string::npos) << weekday.out;
}

TEST_F(ZenctlTest, PasswordGateHoldsForChangesOnly) {
    Run({"password", "--new-password-file", WriteFile("first", "s3cret\n")});
    const auto before = test::DataFileBytes();
    const std::string right = WriteFile("right", "s3cret\n");
    const std::string wrong = WriteFile("wrong", "S3cret\n");

    EXPECT_EQ(Zenctl({"group", "add", "Teens"}).code, 5);  // no terminal to ask on
    EXPECT_EQ(Zenctl({"--password-file", wrong, "group", "add", "Teens"}).code, 5);
    EXPECT_EQ(Zenctl({"password", "--password-file", wrong, "--new-password-file", wrong}).code, 5);
    EXPECT_EQ(test::DataFileBytes(), before);

    EXPECT_EQ(Zenctl({"users"}).code, 0);
    EXPECT_EQ(Zenctl({"show", "Kids"}).code, 0);
    Run({"--password-file", right, "group", "add", "Teens"});
    EXPECT_NE(Zenctl({"users"}).out.find("Teens"), std::string::npos);

    // Changing the password asks for the old one; afterwards only the new one opens.
    const std::string next = WriteFile("next", "other\r\n");
    Run({"password", "--password-file", right, "--new-password-file", next});
    EXPECT_EQ(Zenctl({"--password-file", right, "group", "add", "More"}).code, 5);
    Run({"--password-file", next, "group", "add", "More"});
    // An empty password switches the gate off.
    Run({"password", "--password-file", next, "--new-password-file", WriteFile("none", "")});
    Run({"group", "add", "Open"});
}

TEST_F(ZenctlTest, BadInputLeavesTheDatabaseByteIdentical) {
    struct Case {
        std::vector<std::string> args;
        int code;
    };
    const Case cases[] = {
        {{"show", "nobody"}, 1},
        {{"user", "add", "bob", "Nobody"}, 1},
        {{"move", "alice", "alice"}, 1},
        {{"rename", "Guests", "Visitors"}, 1},
        {{"delete", "Kids"}, 1},
        {{"program", "add", "controlled", "Kids", "/nonexistent/game"}, 1},
        {{"forbid", "Kids", "internet", "mon", "08:10-09:00"}, 2},
        {{"forbid", "Kids", "internet", "mon", "25:00-26:00"}, 2},
        {{"forbid", "Kids", "internet", "mon", "09:00-08:00"}, 2},
        {{"forbid", "Kids", "internet", "funday"}, 2},
        {{"forbid", "Kids", "telly", "mon"}, 2},
        {{"limit", "Kids", "computer", "1441"}, 2},
        {{"limit", "Kids", "computer", "maybe"}, 2},
        {{"group", "add", "abcdefghijklmnopqrstuvwxyz"}, 2},
        {{"set", "Kids", "ShutDown", "sometimes"}, 2},
        {{"set", "Kids", "Colour", "red"}, 2},
        {{"option", "Port", "70000"}, 2},
        {{"option", "TimeFormat", "5"}, 2},
        {{"option", "password", "x"}, 2},
        {{"check", "alice", "internet", "--at", "Mon 9:60"}, 2},
        {{"check", "alice", "internet", "--at", "2024-02-30 09:00"}, 2},
        {{"check", "alice", "telly"}, 2},
        {{"frobnicate"}, 2},
        {{"users", "--bogus"}, 2},
        {{"group", "add"}, 2},
        // Stricter input: each says what is wrong and changes nothing.
        {{"user", "add", "bob", "Kids"}, 1},  // not an account of the machine
        {{"user", "add", " alice", "Kids", "--any"}, 2},
        {{"group", "add", "Teens "}, 2},
        {{"rename", "Kids", "\tKids"}, 2},
        {{"option", "SMTPServer", "mail.example.org:587"}, 2},
        {{"option", "SMTPServer", "[::1]:25"}, 2},
        {{"option", "SMTPServer", " mail.example.org"}, 2},
        {{"option", "Port", "0"}, 2},
        {{"option", "Port", "-25"}, 2},
        {{"limit", "Kids", "computer", "-5"}, 2},
        {{"forbid", "Kids", "cdrom", "mon"}, 2},  // the category is "cd" everywhere
        {{"users", "--clear"}, 2},
        {{"show", "Kids", "--any"}, 2},
        {{"check", "alice", "internet", "--checksum", "0x1"}, 2},
        {{"mail", "test", "now"}, 2},
        {{"mail", "test"}, 1},  // the account is not set up
        {{"mail", "report"}, 1},
        {{"mail", "tls", "sometimes"}, 2},
        {{"report", "password", "--secret-file", "/nonexistent/secret"}, 5},
        {{"mail", "password", "--at", "09:00"}, 2},
    };
    const auto before = test::DataFileBytes();
    for (const Case& c : cases) {
        const auto result = Zenctl(c.args);
        EXPECT_EQ(result.code, c.code) << c.args[0] << " " << c.args[1] << " " << result.err;
        EXPECT_EQ(result.err.rfind("zenctl: ", 0), 0u) << c.args[0] << ": " << result.err;
        EXPECT_EQ(test::DataFileBytes(), before) << c.args[0] << " " << c.args[1];
    }
    EXPECT_FALSE(std::filesystem::exists(paths::ConfFile()));
    // A secret longer than the panel's edit takes is refused as well.
    const std::string longSecret = WriteFile("long", std::string(24, 'x') + "\n");
    EXPECT_EQ(Zenctl({"report", "password", "--secret-file", longSecret}).code, 2);
    EXPECT_EQ(test::DataFileBytes(), before);
}

TEST_F(ZenctlTest, ErrorsSayWhatToDoInstead) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"user", "add", "bob", "Kids"},
         "\"bob\" is not an account of this machine (--any adds it all the same"},
        {{"option", "SMTPServer", "mail.example.org:587"}, "the port with the option Port"},
        {{"option", "Port", "0"}, "port 0 reaches no server; use 1 to 65535"},
        {{"users", "--clear"}, "--clear is not an option of \"users\""},
        {{"group", "add", "Teens "}, "a name may not start or end with a blank"},
        {{"limit", "Kids", "computer", "-5"}, "minutes \"-5\" is not valid"},
    };
    for (const auto& [args, message] : cases) {
        EXPECT_NE(Zenctl(args).err.find(message), std::string::npos) << args[0] << " " << args[1];
    }
    // Given --any, a name that is not an account yet is taken.
    Run({"user", "add", "bob", "Kids", "--any"});
    EXPECT_NE(Zenctl({"users"}).out.find("bob"), std::string::npos);
}

TEST_F(ZenctlTest, ChangesAreToldInSentences) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"forbid", "Kids", "internet", "all"},
         "Kids: internet is forbidden every day, all day, in its own timetable.\n"},
        {{"allow", "Kids", "internet", "weekdays", "08:00-15:30"},
         "Kids: internet is allowed on weekdays, from 08:00 to 15:30, in its own timetable.\n"},
        {{"forbid", "Kids", "cd", "sat,mon"},
         "Kids: cd is forbidden on Mon, Sat, all day, in its own timetable.\n"},
        {{"timetable", "Kids", "computer", "on"}, "Kids: the computer timetable is on.\n"},
        {{"limit", "Kids", "computer", "90", "weekend"},
         "Kids: the daily computer limit is 90 minutes at weekends (it counts only while the "
         "limit is on).\n"},
        {{"limit", "Kids", "computer", "on"},
         "Kids: the daily computer limit is on: Sun 90, Mon 10, Tue 10, Wed 10, Thu 10, Fri 10, "
         "Sat 90 minutes.\n"},
        {{"limit", "Kids", "computer", "off"}, "Kids: the daily computer limit is off.\n"},
    };
    for (const auto& [args, text] : cases) {
        const auto result = Zenctl(args);
        EXPECT_EQ(result.code, 0) << result.err;
        EXPECT_EQ(result.out, text);
    }
}

TEST_F(ZenctlTest, ShowOfAUserShowsTheRulesOfItsGroup) {
    Run({"set", "Kids", "CustomWarning", "Time for homework"});
    Run({"forbid", "Kids", "internet", "mon"});
    const auto text = Zenctl({"show", "alice"});
    ASSERT_EQ(text.code, 0) << text.err;
    EXPECT_EQ(text.out.rfind("alice is a user of the group Kids, whose rules are in force for "
                             "it:\n\nname: Kids\n",
                             0),
              0u)
        << text.out;
    EXPECT_NE(text.out.find("CustomWarning: Time for homework\n"), std::string::npos);
    EXPECT_NE(text.out.find("internet timetable"), std::string::npos);
    EXPECT_EQ(text.out, Zenctl({"show", "alice"}).out);
    const auto json = Zenctl({"show", "alice", "--json"});
    EXPECT_NE(json.out.find("\"group\": \"Kids\""), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"CustomWarning\": \"Time for homework\""), std::string::npos);
}

// The words of the first column of "zenctl --help": the command table.
std::set<std::string> TableCommands() {
    const std::string help = Zenctl({"--help"}).out;
    std::istringstream lines(help.substr(help.find("Commands:\n") + 10));
    std::set<std::string> commands;
    for (std::string line; std::getline(lines, line) && !line.empty();) {
        commands.insert(line.substr(2, line.find(' ', 2) - 2));
    }
    return commands;
}

// The first word after each .TP or .TQ of the man page's COMMANDS section.
std::set<std::string> ManPageCommands() {
    std::istringstream page(test::ReadAll(ZEN_SOURCE_DIR "/docs/zenctl.1"));
    std::set<std::string> commands;
    bool inCommands = false;
    bool entry = false;
    for (std::string line; std::getline(page, line);) {
        if (line.starts_with(".SH")) {
            inCommands = line == ".SH COMMANDS";
        } else if (inCommands && entry && line.starts_with(".B")) {
            std::string word = line.substr(line.find(' ') + 1);
            std::erase(word, '"');
            commands.insert(word.substr(0, word.find(' ')));
        }
        entry = line == ".TP" || line == ".TQ";
    }
    return commands;
}

// The words of the completion's list of commands.
std::set<std::string> CompletionCommands() {
    const std::string script = test::ReadAll(ZEN_SOURCE_DIR "/packaging/zenctl.bash-completion");
    const std::size_t start = script.find("local commands='") + 16;
    std::istringstream words(script.substr(start, script.find('\'', start) - start));
    std::set<std::string> commands;
    for (std::string word; words >> word;) {
        commands.insert(word);
    }
    return commands;
}

TEST_F(ZenctlTest, ManPageAndCompletionListExactlyTheCommandsOfTheTable) {
    std::set<std::string> table = TableCommands();
    ASSERT_TRUE(table.contains("status") && table.contains("mail"))
        << testing::PrintToString(table);
    EXPECT_EQ(ManPageCommands(), table);
    // "help" is a word of the command line, not a command of the table.
    table.insert("help");
    EXPECT_EQ(CompletionCommands(), table);
}

TEST_F(ZenctlTest, JsonOutputIsValidAndEscaped) {
    const std::string warning = "Say \"stop\"\tnow \\ \x01 ünd";
    Run({"set", "Kids", "CustomWarning", warning});
    const auto shown = Zenctl({"show", "Kids", "--json"});
    ASSERT_EQ(shown.code, 0);
    const std::string json = WriteFile("show.json", shown.out);
    const std::string out = (root / "warning.txt").string();
    const std::string read =
        "/usr/bin/python3 -c 'import json,sys; d=json.load(open(sys.argv[1]));"
        " open(sys.argv[2],\"w\",encoding=\"utf-8\").write(d[\"CustomWarning\"]"
        " + \"|\" + str(d[\"ParentID\"]) + \"|\" + d[\"timetables\"][\"Internet\"][0])' " +
        json + " " + out;
    ASSERT_EQ(std::system(read.c_str()), 0) << shown.out;
    EXPECT_EQ(test::ReadAll(out), warning + "|0|" + std::string(96, '1'));
}

TEST_F(ZenctlTest, LogsAndMessagesShowWhatTheSystemWrote) {
    CDBManager db;
    db.SetCurrentUserName(u"alice");
    ASSERT_EQ(db.Init(false), 1);
    ASSERT_EQ(AddWarning(db, u"Computer time is over", u"", 2, u"logged off"), 1);
    ASSERT_EQ(AddWarning(db, u"Program closed", u"/usr/games/tetris", 1, u""), 1);
    ASSERT_EQ(AddMessage(db, u"One minute left"), 1);

    std::string expected = Utf16ToUtf8(LogLines(db.Warnings(), LogKind::Warnings));
    for (std::size_t at; (at = expected.find("\r\n")) != std::string::npos;) {
        expected.replace(at, 2, "\n");
    }
    const auto log = Zenctl({"log", "warnings"});
    ASSERT_EQ(log.code, 0) << log.err;
    EXPECT_EQ(log.out, expected);
    EXPECT_NE(Zenctl({"messages"}).out.find("Kids  One minute left"), std::string::npos);

    Run({"log", "warnings", "--clear"});
    EXPECT_EQ(Zenctl({"log", "warnings"}).out, "");
    EXPECT_EQ(LogLines(db.Warnings(), LogKind::Warnings), u"");
}

TEST_F(ZenctlTest, UsageAndPathsReadTheCounterFilesWithoutCounting) {
    Run({"limit", "Kids", "internet", "on"});
    CDBManager db;
    ASSERT_EQ(db.Init(false), 1);
    const uint32_t seed = RulesOf(Category::Internet).seed;
    ASSERT_EQ(
        SaveUsage(db.StateMutex(), static_cast<uint32_t>(Now()), 7, StringCrc(u"alice"), seed), 1);
    const std::string counter = UsageFileName(StringCrc(u"alice"), seed).string();
    const std::string before = test::ReadAll(counter);

    const auto usage = Zenctl({"usage", "alice", "--json"});
    EXPECT_NE(usage.out.find("\"internet\": {\n    \"used\": 7,\n    \"limit\": 10"),
              std::string::npos)
        << usage.out;
    EXPECT_NE(Zenctl({"check", "alice", "internet"}).out.find("7 of "), std::string::npos);
    EXPECT_EQ(test::ReadAll(counter), before);
    EXPECT_NE(Zenctl({"paths", "alice", "internet"}).out.find(counter), std::string::npos);
}

}  // namespace
}  // namespace zen
