// export and import: the settings file, as the control panel writes and reads it.
#include <cerrno>
#include <cstring>
#include <ostream>

#include "common/settings/settings_transfer.h"
#include "tools/zenctl/commands.h"

namespace zen::ctl {
namespace {

int ExitCodeOf(ImportStatus status) {
    switch (status) {
        case ImportStatus::Done:
            return kExitOk;
        case ImportStatus::SaveFailed:
            return kExitNoDatabase;
        default:
            return kExitRefused;
    }
}

void Report(Session& session, const std::string& file, const std::string& done) {
    session.out().Emit(Json::Object().Set("done", true).Set("file", file),
                       [&](std::ostream& out) { out << done << '\n'; });
}

}  // namespace

void RunExport(Session& session, const Words& words) {
    if (!ExportSettings(session.Db(), words[0])) {
        throw CommandError(kExitRefused, "cannot write " + words[0] + ": " + std::strerror(errno));
    }
    Report(session, words[0], "settings exported to " + words[0]);
}

void RunImport(Session& session, const Words& words) {
    const ImportStatus status = ImportSettings(session.Admin(), words[0]);
    if (status != ImportStatus::Done) {
        throw CommandError(ExitCodeOf(status),
                           words[0] + ": " + std::string(ImportStatusText(status)) +
                               (status == ImportStatus::SaveFailed ? "" : "; nothing was changed"));
    }
    Report(session, words[0], "settings imported from " + words[0]);
}

}  // namespace zen::ctl
