#include "platform/console_user.h"

#include <utmpx.h>

#include <cstring>
#include <mutex>

#include "platform/environment.h"
#include "platform/logind.h"
#include "platform/shared_file.h"

namespace zen {
namespace {

// A login on the machine's own screen or keyboard, not over the network.
bool IsLocalLine(const utmpx& entry) {
    const std::string line(entry.ut_line, strnlen(entry.ut_line, sizeof entry.ut_line));
    const std::string host(entry.ut_host, strnlen(entry.ut_host, sizeof entry.ut_host));
    return line.starts_with("tty") || line.starts_with(":") || host.starts_with(":");
}

std::string UtmpUser() {
    // The utmp walk uses process-wide state.
    static std::mutex guard;
    std::lock_guard lock(guard);
    std::string user;
    ::setutxent();
    while (const utmpx* entry = ::getutxent()) {
        if (entry->ut_type == USER_PROCESS && IsLocalLine(*entry)) {
            user.assign(entry->ut_user, strnlen(entry->ut_user, sizeof entry->ut_user));
            break;
        }
    }
    ::endutxent();
    return user;
}

}  // namespace

std::string ConsoleUserName() {
    const Environment& environment = Env();
    if (environment.seatFile) {
        if (auto seat = ReadFirstLine(*environment.seatFile)) {
            return *seat;
        }
    }
    if (environment.logind) {
        if (auto user = LogindConsoleUser()) {
            return *user;
        }
    }
    return environment.onMachine ? UtmpUser() : std::string();
}

Environment WithConsoleSessions(Environment environment) {
    environment.consoleUser = ConsoleUserName;
    return environment;
}

std::string SessionUserName(std::string_view sessionId) {
    return Env().logind ? LogindSessionUser(sessionId).value_or("") : std::string();
}

}  // namespace zen
