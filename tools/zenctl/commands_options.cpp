// The options that are not secrets, and the administrator password.
#include <ostream>

#include "common/db/option_fields.h"
#include "platform/text.h"
#include "tools/zenctl/commands.h"
#include "tools/zenctl/new_secret.h"

namespace zen::ctl {
namespace {

Json FieldValue(const Options& options, const OptionField& field) {
    if (field.kind == OptionField::Kind::Text) {
        return Json(field.text(options));
    }
    return Json(options.*field.number);
}

const OptionField& FieldNamed(const std::string& name) {
    const OptionField* field = FindOptionField(name);
    if (field == nullptr) {
        std::string names;
        for (const OptionField& known : OptionFields()) {
            names.append(names.empty() ? "" : ", ").append(known.name);
        }
        throw CommandError(kExitUsage, "option \"" + name + "\" is not valid; use one of " + names);
    }
    return *field;
}

}  // namespace

void RunOptions(Session& session, const Words&) {
    const Options options = session.Db().OptionsCopy();
    Json json = Json::Object();
    for (const OptionField& field : OptionFields()) {
        json.Set(field.name, FieldValue(options, field));
    }
    json.Set("lastReportTime", options.lastReportTime)
        .Set("deviceState", FieldText(options.deviceState))
        .Set("passwordSet", options.password[0] != u'\0');
    for (const SecretField& secret : SecretFields()) {
        json.Set(std::string(secret.name) + "Set", !secret.text(options).empty());
    }
    session.out().Emit(json);
}

void RunOption(Session& session, const Words& words) {
    const OptionField& field = FieldNamed(words[0]);
    if (words.size() == 1) {
        const Options options = session.Db().OptionsCopy();
        session.out().Emit(Json::Object().Set(field.name, FieldValue(options, field)));
        return;
    }
    const std::u16string value = Text16(words[1]);
    if (const std::string problem = OptionValueProblem(field, value); !problem.empty()) {
        throw CommandError(kExitUsage,
                           std::string(field.name) + " \"" + words[1] + "\": " + problem);
    }
    // The value is checked before the password is asked for.
    Options scratch{};
    if (const EditStatus check = SetOptionValue(scratch, field, value); check != EditStatus::Done) {
        session.Finish(check, std::string(field.name) + " " + words[1], "");
    }
    session.Finish(
        EditOptions(session.Admin(),
                    [&](Options& options) { return SetOptionValue(options, field, value); }),
        field.name, std::string(field.name) + " set to " + words[1]);
}

void RunPassword(Session& session, const Words&) {
    CDBManager& db = session.Admin();
    const std::u16string password = ReadNewSecret(session.invocation().newPasswordFile, "password");
    session.Finish(SetAdminPassword(db, password), "password",
                   password.empty() ? "password switched off" : "password has been changed");
}

}  // namespace zen::ctl
