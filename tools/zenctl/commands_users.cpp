// Users and groups: the tree, one record, and the panel's edits of them.
#include <ostream>
#include <vector>

#include "common/db/name_compare.h"
#include "common/db/rules_model.h"
#include "platform/console_user.h"
#include "platform/text.h"
#include "tools/zenctl/commands.h"
#include "tools/zenctl/input_checks.h"
#include "tools/zenctl/record_view.h"
#include "tools/zenctl/rule_syntax.h"

namespace zen::ctl {
namespace {

std::vector<FastUsersRecord> AllRecords(CDBManager& db) {
    return db.Users().WithRecords([](const UsersTable::Set& records) {
        return std::vector<FastUsersRecord>(records.begin(), records.end());
    });
}

std::string Describe(const FastUsersRecord& record) {
    std::string line =
        Utf16ToUtf8(FieldText(record.name)) + " (UserID " + std::to_string(record.UserID);
    if (record.ParentID != 0) {
        line += ", ParentID " + std::to_string(record.ParentID);
    }
    return line + ")" + (record.Disable != 0 ? " [filtering disabled]" : "");
}

bool IsCaseless(std::string_view a, std::string_view b) {
    return NameCompare(Utf8ToUtf16(a), Utf8ToUtf16(b)) == 0 && a.size() == b.size();
}

}  // namespace

void RunUsers(Session& session, const Words&) {
    const std::vector<FastUsersRecord> records = AllRecords(session.Db());
    const auto isGroup = [&](uint32_t id) {
        return std::any_of(records.begin(), records.end(), [&](const FastUsersRecord& r) {
            return r.ParentID == 0 && r.UserID == id;
        });
    };
    Json groups = Json::Array();
    Json orphans = Json::Array();
    std::string text;
    std::string orphanText;
    for (const FastUsersRecord& group : records) {
        if (group.ParentID != 0) {
            if (!isGroup(group.ParentID)) {
                orphans.Push(UserSummary(group));
                orphanText += "(no group) " + Describe(group) + "\n";
            }
            continue;
        }
        Json users = Json::Array();
        text += Describe(group) + "\n";
        for (const FastUsersRecord& user : records) {
            if (user.ParentID == group.UserID) {
                users.Push(UserSummary(user));
                text += "  " + Describe(user) + "\n";
            }
        }
        groups.Push(UserSummary(group).Set("users", std::move(users)));
    }
    text += orphanText;
    session.out().Emit(
        Json::Object().Set("groups", std::move(groups)).Set("orphans", std::move(orphans)),
        [&](std::ostream& out) { out << text; });
}

void RunShow(Session& session, const Words& words) {
    CDBManager& db = session.Db();
    const auto record = FindUser(db.Users(), NameWord(words[0]));
    if (!record) {
        throw CommandError(kExitRefused, "\"" + words[0] + "\": no such user or group");
    }
    if (record->ParentID == 0) {
        session.out().Emit(UserRecord(*record),
                           [&](std::ostream& out) { PrintUserRecord(out, *record); });
        return;
    }
    // A user's own record carries copies that nothing reads: the group's rules are in force.
    const auto group = FindGroupById(db.Users(), record->ParentID);
    if (!group) {
        throw CommandError(kExitRefused, "\"" + words[0] + "\": its group (UserID " +
                                             std::to_string(record->ParentID) +
                                             ") does not exist, so no rules apply");
    }
    const std::string groupName = Utf16ToUtf8(FieldText(group->name));
    session.out().Emit(
        UserSummary(*record).Set("group", groupName).Set("rules", UserRecord(*group)),
        [&](std::ostream& out) {
            out << words[0] << " is a user of the group " << groupName
                << ", whose rules are in force for it:\n\n";
            PrintUserRecord(out, *group);
        });
}

void RunGroup(Session& session, const Words& words) {
    if (words[0] != "add") {
        throw CommandError(kExitUsage, "usage: zenctl group add NAME");
    }
    const std::u16string name = NameWord(words[1]);
    session.Finish(AddGroup(session.Admin(), name), words[1], "group " + words[1] + " added");
}

void RunUser(Session& session, const Words& words) {
    if (words[0] != "add") {
        throw CommandError(kExitUsage, "usage: zenctl user add NAME GROUP");
    }
    const std::u16string name = NameWord(words[1]);
    const std::u16string group = NameWord(words[2]);
    if (!session.invocation().any && !IsMachineAccount(words[1])) {
        throw CommandError(kExitRefused, "\"" + words[1] +
                                             "\" is not an account of this machine (--any adds "
                                             "it all the same, for an account made later)");
    }
    const EditStatus status = AddUser(session.Admin(), name, group);
    const bool aboutGroup = status == EditStatus::NotAGroup || (status == EditStatus::NotFound);
    session.Finish(status, aboutGroup ? words[2] : words[1],
                   "user " + words[1] + " added to " + words[2]);
}

void RunRename(Session& session, const Words& words) {
    const std::u16string name = NameWord(words[0]);
    const std::u16string newName = NameWord(words[1]);
    const EditStatus status = RenameRecord(session.Admin(), name, newName);
    const bool aboutNew = status == EditStatus::AlreadyExists || status == EditStatus::BadName;
    session.Finish(status, aboutNew ? words[1] : words[0], words[0] + " renamed to " + words[1]);
}

void RunMove(Session& session, const Words& words) {
    const std::u16string user = NameWord(words[0]);
    const std::u16string group = NameWord(words[1]);
    CDBManager& db = session.Admin();
    const EditStatus status = MoveUser(db, user, group);
    const bool userKnown = FindUser(db.Users(), user).has_value();
    session.Finish(status, userKnown && status != EditStatus::NotAUser ? words[1] : words[0],
                   words[0] + " moved to " + words[1]);
}

void RunDelete(Session& session, const Words& words) {
    const std::u16string name = NameWord(words[0]);
    session.Finish(DeleteRecord(session.Admin(), name, Utf8ToUtf16(ConsoleUserName())), words[0],
                   words[0] + " deleted");
}

void RunSet(Session& session, const Words& words) {
    const std::u16string name = NameWord(words[0]);
    const std::string& field = words[1];
    const std::string& value = words[2];
    const std::string done = words[0] + ": " + field + " set to " + value;
    if (IsCaseless(field, "Disable")) {
        const bool on = ParseSwitch(value);
        session.Finish(SetDisable(session.Admin(), name, on), words[0], done);
    } else if (IsCaseless(field, "ShowCustomWarning")) {
        const bool on = ParseSwitch(value);
        session.Finish(SetShowCustomWarning(session.Admin(), name, on), words[0], done);
    } else if (IsCaseless(field, "CustomWarning")) {
        const std::u16string text = Text16(value);
        session.Finish(SetCustomWarning(session.Admin(), name, text), words[0], done);
    } else if (IsCaseless(field, "ShutDown")) {
        uint32_t action = 0;
        if (IsCaseless(value, "logoff") || value == "1") {
            action = 1;
        } else if (!IsCaseless(value, "shutdown") && !IsCaseless(value, "poweroff") &&
                   value != "0") {
            throw CommandError(kExitUsage,
                               "ShutDown \"" + value + "\" is not valid; use shutdown or logoff");
        }
        session.Finish(SetShutDown(session.Admin(), name, action), words[0], done);
    } else {
        throw CommandError(kExitUsage, "field \"" + field +
                                           "\" is not valid; use Disable, ShowCustomWarning, "
                                           "CustomWarning or ShutDown");
    }
}

}  // namespace zen::ctl
