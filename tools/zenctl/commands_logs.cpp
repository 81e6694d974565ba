// The warnings and activity logs, and the messages table.
#include <ostream>
#include <vector>

#include "common/db/log_records.h"
#include "platform/text.h"
#include "tools/zenctl/commands.h"

namespace zen::ctl {

void RunLog(Session& session, const Words& words) {
    const bool warnings = words[0] == "warnings";
    if (!warnings && words[0] != "activity") {
        throw CommandError(kExitUsage,
                           "log \"" + words[0] + "\" is not valid; use warnings or activity");
    }
    if (session.invocation().clear) {
        CDBManager& db = session.Admin();
        DBLogTable& log = warnings ? db.Warnings() : db.Activity();
        if (log.Clear() == 0) {
            throw CommandError(kExitNoDatabase, "the " + words[0] + " log could not be cleared");
        }
        session.Finish(EditStatus::Done, words[0], "the " + words[0] + " log is empty");
        return;
    }
    CDBManager& db = session.Db();
    Json records = Json::Array();
    std::string text;
    const auto add = [&](Json record, const std::u16string& line) {
        text += Utf16ToUtf8(line) + "\n";
        records.Push(std::move(record.Set("line", line)));
    };
    const int read =
        warnings ? VisitLog<WarningRecord>(db.Warnings(),
                                           [&](const WarningRecord& r) {
                                               add(Json::Object()
                                                       .Set("time", r.time)
                                                       .Set("user", FieldText(r.user))
                                                       .Set("kind", r.kind)
                                                       .Set("program", FieldText(r.program))
                                                       .Set("text", FieldText(r.text))
                                                       .Set("secondText", FieldText(r.secondText)),
                                                   FormatWarning(r));
                                           })
                 : VisitLog<ActivityRecord>(db.Activity(), [&](const ActivityRecord& r) {
                       add(Json::Object()
                               .Set("startTime", r.startTime)
                               .Set("user", FieldText(r.user))
                               .Set("endTime", r.endTime)
                               .Set("program", FieldText(r.program))
                               .Set("path", FieldText(r.path))
                               .Set("value", r.value),
                           FormatActivity(r));
                   });
    if (read == 0) {
        throw CommandError(kExitNoDatabase, "the " + words[0] + " log cannot be read");
    }
    session.out().Emit(records, [&](std::ostream& out) { out << text; });
}

void RunMessages(Session& session, const Words&) {
    const auto messages = session.Db().Messages().WithRecords([](const MessagesTable::Set& set) {
        return std::vector<CustomMessage>(set.begin(), set.end());
    });
    Json list = Json::Array();
    std::string text;
    for (const CustomMessage& message : messages) {
        list.Push(Json::Object()
                      .Set("time", message.time)
                      .Set("name", FieldText(message.name))
                      .Set("text", FieldText(message.text))
                      .Set("tick", message.tick));
        text += Utf16ToUtf8(TimeText(message.time)) + "  " + Utf16ToUtf8(FieldText(message.name)) +
                "  " + Utf16ToUtf8(FieldText(message.text)) + "\n";
    }
    session.out().Emit(list, [&](std::ostream& out) { out << text; });
}

}  // namespace zen::ctl
