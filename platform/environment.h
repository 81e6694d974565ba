#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/root_choice.h"

namespace zen {

// Which system actions a process may carry out: on the machine itself, or only recorded in
// the root's actions log (a test or demo root).
enum class ActionsBackend { Machine, Recorded };

// How this process runs, decided once at its start from the command line and ZEN_ROOT: the
// root and everything that follows from it. Every layer reads its answers from here; nothing
// else asks which root it runs under.
struct Environment {
    // "/" on the machine itself, or the directory of a test or demo.
    std::filesystem::path root{"/"};
    // The machine itself: systemctl, the real preload list, mounts anywhere, utmp.
    bool onMachine = true;
    // The accounts: the machine's password database, or a test root's own etc/passwd.
    std::optional<std::filesystem::path> accountsFile;
    // A test root's stand-in for the seat: a file holding the console user's name.
    std::optional<std::filesystem::path> seatFile;
    // logind may be asked: the machine's, or a test's on DBUS_SYSTEM_BUS_ADDRESS.
    bool logind = true;
    // The logind named by DBUS_SYSTEM_BUS_ADDRESS is a test's own, on a socket below the root,
    // so a recorded action may reach it as well.
    bool privateLogind = false;
    ActionsBackend actions = ActionsBackend::Machine;
    // Mounts are touched only below this folder.
    std::filesystem::path mountScope{"/"};
    // A test root's own stand-in for the installed filter library (ZEN_FILTER_LIBRARY).
    std::optional<std::filesystem::path> filterLibrary;
    // The service's tick; shorter only for tests under a test root.
    std::chrono::milliseconds tickPeriod{5000};
    // Where the console user comes from: the session layer, in the programs that link it (see
    // WithConsoleSessions); none in the filter, whose rules are its own user's.
    std::function<std::string()> consoleUser;
    // Longest wait for a named mutex; none means the caller's own choice (the service bounds
    // every wait).
    std::optional<std::chrono::milliseconds> lockWaitLimit;

    // The environment for `root`, with every answer that follows from it.
    static Environment ForRoot(const std::filesystem::path& root);
    // The environment of a program started with these arguments: the root from ZEN_ROOT
    // (ignored once the system is installed for real), a test root's "-tick MS" for the
    // service. Arguments it does not know are left to the program.
    static Environment FromProcess(std::span<const std::string_view> arguments = {});
};

// The environment of this process: the one its start installed, else FromProcess() of no
// arguments, made at the first call.
const Environment& Env();

// Installs the environment of this process: a program at its start, a test for its root.
// References returned by Env() before stay valid.
void SetEnvironment(Environment environment);

}  // namespace zen
