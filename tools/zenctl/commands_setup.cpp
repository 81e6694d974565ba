// paths and init: where the database lives, and making it.
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <ostream>

#include "common/db/checksum.h"
#include "common/db/machine_id.h"
#include "common/db/object_names.h"
#include "common/db/options_file.h"
#include "common/db/rules_model.h"
#include "common/db/usage_state.h"
#include "platform/root.h"
#include "platform/shared_file.h"
#include "platform/text.h"
#include "tools/zenctl/commands.h"
#include "tools/zenctl/password_gate.h"
#include "tools/zenctl/rule_syntax.h"

namespace zen::ctl {
namespace {

std::string MachineIdText() {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", MachineId());
    return text;
}

// The password of a database that may be incomplete: read from the options file alone.
std::u16string StoredPassword() {
    NamedMutex optionsMutex;
    Options options = OptionsDefault();
    if (!optionsMutex.Open(kOptionsMutexName) ||
        SerializeOptions(options, false, false, false, optionsMutex) == 0) {
        throw CommandError(kExitNoDatabase,
                           "cannot read the options file " + OptionsFilePath().string());
    }
    return std::u16string(FieldText(options.password));
}

}  // namespace

void RunPaths(Session& session, const Words& words) {
    CDBManager db;  // only for the names of its files; not opened
    Json files = Json::Object();
    for (const iPYTable* table : std::initializer_list<const iPYTable*>{
             &db.Users(), &db.Customs(), &db.Messages(), &db.Warnings(), &db.Activity()}) {
        files.Set(table->Name(), table->FilePath().string());
    }
    files.Set("options", OptionsFilePath().string());
    Json json = Json::Object()
                    .Set("root", Root().string())
                    .Set("MachineId", MachineIdText())
                    .Set("DataDir", paths::DataDir().string())
                    .Set("RunDir", paths::RunDir().string())
                    .Set("ErrorLog", paths::ErrorLog().string())
                    .Set("files", std::move(files));
    if (!words.empty()) {
        const std::u16string user = Text16(words[0]);
        Json usage = Json::Object();
        for (const Category category : kAllCategories) {
            if (words.size() < 2 || ParseCategory(words[1]) == category) {
                usage.Set(CategoryName(category),
                          UsageFileName(StringCrc(user), RulesOf(category).seed).string());
            }
        }
        json.Set("usage", Json::Object().Set("user", words[0]).Set("files", std::move(usage)));
    }
    session.out().Emit(json);
}

void RunInit(Session& session, const Words&) {
    if (!EnsureSharedDirectories()) {
        throw CommandError(kExitNoDatabase,
                           "cannot make the data directories under " + Root().string());
    }
    // Every account's processes log their failures there.
    if (const UniqueFd log = OpenSharedFile(paths::ErrorLog(), O_WRONLY | O_CREAT, 0666)) {
        ::fchmod(log.get(), 0666);
    }
    CDBManager creator;
    if (std::filesystem::exists(OptionsFilePath())) {
        // The database exists: adding what is missing is a change like any other.
        PasswordGate(StoredPassword(), session.invocation().passwordFile);
    } else if (creator.SaveOptionsAndNotify() == 0) {
        // The set-up writes the default options before the database is opened.
        throw CommandError(kExitNoDatabase, "cannot write " + OptionsFilePath().string());
    }
    if (creator.Init(true) == 0) {
        throw CommandError(kExitNoDatabase, "cannot create the rules database in " +
                                                paths::DataDir().string() + " (details in " +
                                                paths::ErrorLog().string() + ")");
    }
    const std::string done = "rules database ready in " + paths::DataDir().string();
    session.out().Emit(Json::Object().Set("done", true).Set("DataDir", paths::DataDir().string()),
                       [&](std::ostream& out) { out << done << '\n'; });
}

}  // namespace zen::ctl
