#include "tools/zenctl/session.h"

#include "platform/root.h"
#include "platform/text.h"
#include "tools/zenctl/password_gate.h"

namespace zen::ctl {

Session::Session(Invocation invocation, Output& output)
    : invocation_(std::move(invocation)), output_(output) {}

Session::~Session() = default;

CDBManager& Session::Db() {
    if (db_) {
        return *db_;
    }
    auto db = std::make_unique<CDBManager>();
    // An administrator's tool is not the console user's session: it must not make the
    // console user current, which would add an unknown one to "Guests".
    db->SetCurrentUserName(u"");
    if (db->Init(false) == 0) {
        throw CommandError(kExitNoDatabase, "cannot open the rules database in " +
                                                paths::DataDir().string() +
                                                " (run \"zenctl init\" to create it; details in " +
                                                paths::ErrorLog().string() + ")");
    }
    db_ = std::move(db);
    return *db_;
}

CDBManager& Session::Admin() {
    CDBManager& db = Db();
    if (!admitted_) {
        const Options options = db.OptionsCopy();
        PasswordGate(FieldText(options.password), invocation_.passwordFile);
        admitted_ = true;
    }
    return db;
}

int ExitCodeOf(EditStatus status) {
    switch (status) {
        case EditStatus::Done:
            return kExitOk;
        case EditStatus::BadName:
        case EditStatus::TooLong:
        case EditStatus::OutOfRange:
            return kExitUsage;
        case EditStatus::SaveFailed:
            return kExitNoDatabase;
        default:
            return kExitRefused;
    }
}

void Session::Finish(EditStatus status, std::string_view subject, const std::string& done) {
    if (status != EditStatus::Done) {
        throw CommandError(ExitCodeOf(status), "\"" + std::string(subject) +
                                                   "\": " + std::string(EditStatusText(status)));
    }
    output_.Emit(Json::Object().Set("done", true).Set("message", done),
                 [&](std::ostream& out) { out << done << '\n'; });
}

}  // namespace zen::ctl
