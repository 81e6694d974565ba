#include "service/setup_sequences.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "common/db/db_manager.h"
#include "common/db/error_log.h"
#include "platform/root.h"
#include "service/service_host.h"
#include "service/service_manager.h"
#include "service/service_strings.h"
#include "service/setup_autostart.h"
#include "service/setup_export.h"
#include "service/setup_preload.h"
#include "service/setup_program_files.h"
#include "service/setup_removal.h"

extern char** environ;

namespace zen {
namespace {

constexpr int kExitFailed = 1;
// The filter's list could not be read: the set-up ends there, as the installer always has.
constexpr int kExitFilterListUnreadable = 255;
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

}  // namespace

int SetupAll() {
    // The shared directories get their modes before anything is written into them.
    EnsureSharedDirectories();
    {
        CDBManager defaults;
        defaults.ResetFiles();
        if (defaults.SaveOptionsAndNotify() == 0) {
            std::fprintf(stderr, "The default options could not be saved; nothing was set up.\n");
            return kExitFailed;
        }
    }
    RegisterAutostart(true);
    {
        CDBManager creator;
        if (creator.Init(true) != 0) {
            creator.Term();
        }
    }
    // The prefix is the machine's own: only a set-up of the machine itself may change it.
    if (Env().onMachine) {
        SecureProgramFiles(paths::ProgramFolder());
    }
    if (InstallFilter(FilterLibraryPath()) == FilterSetup::ListUnreadable) {
        return kExitFilterListUnreadable;
    }
    return RunSecondInstance("-installAndRun") == 0 ? 0 : kExitFailed;
}

int RemoveAll() {
    OfferSettingsExport();
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
    CDBManager().ResetFiles();
    RemoveDataFiles();
    RemoveFilter(FilterLibraryPath());
    return 0;
}

}  // namespace zen
