#include "service/setup_sequences.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "common/db/db_manager.h"
#include "common/db/error_log.h"
#include "common/db/options_file.h"
#include "platform/root.h"
#include "service/exit_codes.h"
#include "service/install_layout.h"
#include "service/service_host.h"
#include "service/service_manager.h"
#include "service/service_strings.h"
#include "service/setup_autostart.h"
#include "service/setup_export.h"
#include "service/setup_preload.h"
#include "service/setup_program_files.h"
#include "service/setup_removal.h"
#include "service/setup_terminal.h"

extern char** environ;

namespace zen {
namespace {

// The service answers its stop code within a tick; the removal waits a little longer.
constexpr auto kServiceStopTimeout = std::chrono::seconds(15);

// Runs this program again with one verb and waits for it; its exit code, or -1.
int RunSecondInstance(const char* verb) {
    const std::string program = OwnProgramPath().string();
    char* const arguments[] = {const_cast<char*>(program.c_str()), const_cast<char*>(verb),
                               nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, arguments, environ) != 0) {
        LogError("SetupAll(): cannot start %s %s", program.c_str(), verb);
        return -1;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The set-up's outcome: the code of the first step that failed.
class SetupResult {
public:
    void Fail(int code, const std::string& line) {
        std::fprintf(stderr, "zensvc -setupAll: %s\n", line.c_str());
        if (code_ == kExitDone) {
            code_ = code;
        }
    }
    int code() const { return code_; }

private:
    int code_ = kExitDone;
};

// A machine that was set up before keeps what it has: its options hold the password. Options
// someone deleted are still root's last good copy, which the service puts back.
bool HasRules() {
    std::error_code error;
    return std::filesystem::exists(OptionsFilePath(), error) ||
           std::filesystem::exists(paths::BackupDir() / OptionsFilePath().filename(), error);
}

bool ResetConfirmed() {
    return AskYesNo(ServiceString(kIdsProductName),
                    "Start afresh: delete every group, rule, log and the administrator password?");
}

}  // namespace

int SetupAll(SetupMode mode) {
    const bool afresh = mode == SetupMode::Reset || !HasRules();
    if (mode == SetupMode::Reset && HasRules() && !ResetConfirmed()) {
        std::fprintf(stderr,
                     "zensvc -setupAll: nothing was reset or set up (the reset needs a "
                     "yes on the terminal).\n");
        return kExitFailed;
    }
    // The shared directories get their modes before anything is written into them.
    EnsureSharedDirectories();
    if (afresh) {
        CDBManager defaults;
        defaults.ResetFiles();
        if (defaults.SaveOptionsAndNotify() == 0) {
            std::fprintf(stderr, "The default options could not be saved; nothing was set up.\n");
            return kExitFailed;
        }
    }
    // Panels of an earlier installation were told to quit; the new ones must stay.
    ClearPanelStop();
    SetupResult result;
    if (RegisterAutostart(true) == 0) {
        result.Fail(kExitFailed,
                    "the panel's autostart entry or the installation marks were "
                    "not written");
    }
    {
        CDBManager creator;
        if (creator.Init(true) != 0) {
            creator.Term();
        }
    }
    // The installed files are the machine's own: only a set-up of the machine judges them.
    if (Env().onMachine) {
        for (const std::string& fault : ProgramFileFaults(layout::ProgramFiles())) {
            result.Fail(kExitProgramFilesUnsafe, "refused: " + fault);
        }
    }
    switch (InstallFilter(FilterLibraryPath())) {
        case FilterSetup::Done:
            break;
        case FilterSetup::ListUnreadable:
            result.Fail(kExitFilterListUnreadable,
                        "the filter was not installed: " + paths::PreloadList().string() +
                            " cannot be read; the service was not installed");
            return result.code();
        case FilterSetup::NotListed:
        case FilterSetup::WriteFailed:
            result.Fail(kExitFilterNotInstalled, "the Internet filter was not installed");
            break;
    }
    const int service = RunSecondInstance("-installAndRun");
    if (service == kExitUnitNotInstalled) {
        result.Fail(service, "the service's unit was not installed");
    } else if (service != kExitDone) {
        result.Fail(kExitServiceNotStarted, "the service was not started");
    }
    return result.code();
}

int RemoveAll(RemovalMode mode) {
    if (mode == RemovalMode::Delete) {
        OfferSettingsExport();
    }
    RemoveService(std::string(ServiceString(kIdsServiceName)));
    RegisterAutostart(false);
    // A service still running would hide the drives again and put back the files deleted
    // below.
    if (!WaitForServiceStop(kServiceStopTimeout)) {
        LogError("RemoveAll(): the service did not stop");
    }
    ReleaseHiddenDrives();
    RemoveKernelInternetRules();
    StopAllPanels();
    if (mode == RemovalMode::Delete) {
        CDBManager().ResetFiles();
        RemoveDataFiles();
    }
    RemoveFilter(FilterLibraryPath());
    return kExitDone;
}

}  // namespace zen
