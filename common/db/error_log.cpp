#include "common/db/error_log.h"

#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>

#include "platform/clock.h"
#include "platform/local_time.h"
#include "platform/root.h"
#include "platform/shared_file.h"

namespace zen {
namespace {

constexpr std::size_t kMessageCharacters = 1022;

const std::string& ModulePath() {
    static const std::string path = [] {
        char buffer[4096];
        const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
        return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
    }();
    return path;
}

// Cuts `text` after `characters` UTF-8 characters, never inside one.
void CutToCharacters(std::string& text, std::size_t characters) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool lead = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (lead && count++ == characters) {
            text.resize(i);
            return;
        }
    }
}

// The messages logged lately, with when; kept small, as a lasting failure repeats few lines.
struct RecentMessages {
    std::mutex guard;
    std::chrono::seconds interval{0};
    std::map<std::string, std::chrono::steady_clock::time_point> logged;
};

RecentMessages& Recent() {
    static RecentMessages recent;
    return recent;
}

bool LoggedLately(const std::string& message) {
    constexpr std::size_t kRemembered = 256;
    RecentMessages& recent = Recent();
    const std::lock_guard lock(recent.guard);
    if (recent.interval.count() == 0) {
        return false;
    }
    const auto now = std::chrono::steady_clock::now();
    const auto found = recent.logged.find(message);
    if (found != recent.logged.end() && now - found->second < recent.interval) {
        return true;
    }
    if (recent.logged.size() >= kRemembered) {
        std::erase_if(recent.logged,
                      [&](const auto& entry) { return now - entry.second >= recent.interval; });
    }
    if (recent.logged.size() < kRemembered) {
        recent.logged[message] = now;
    }
    return false;
}

void WriteLine(const std::string& line) {
    UniqueFd fd = OpenSharedFile(paths::ErrorLog(), O_WRONLY | O_APPEND | O_CREAT, 0666);
    if (!fd) {
        ::syslog(LOG_ERR, "%s", line.c_str());
        return;
    }
    // One write at the end of the file keeps lines of different processes whole.
    if (::write(fd.get(), line.data(), line.size()) >= 0) {
        ::fdatasync(fd.get());
    }
}

}  // namespace

void LogError(const char* format, ...) {
    const int savedErrno = errno;
    std::string message(kMessageCharacters * 4 + 1, '\0');
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(message.data(), message.size(), format, arguments);
    va_end(arguments);
    message.resize(length < 0 ? 0 : std::min<std::size_t>(length, message.size() - 1));
    CutToCharacters(message, kMessageCharacters);
    if (LoggedLately(message)) {
        errno = savedErrno;
        return;
    }

    const LocalTime now = BreakDownLocal(Now());
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d, %02d/%02d/%02d", now.hour, now.minute,
                  now.second, now.month, now.day, now.year % 100);
    std::string line;
    line.reserve(64 + ModulePath().size() + message.size());
    line.append(stamp)
        .append(", ")
        .append(ModulePath())
        .append(", ")
        .append(message)
        .append("\r\n");
    WriteLine(line);
    errno = savedErrno;
}

void SetRepeatInterval(std::chrono::seconds interval) {
    RecentMessages& recent = Recent();
    const std::lock_guard lock(recent.guard);
    recent.interval = interval;
    recent.logged.clear();
}

int ShowSysError(uint32_t code, std::string_view subject) {
    const uint32_t systemError = static_cast<uint32_t>(errno);
    char codeText[32];
    if (code != 0) {
        std::snprintf(codeText, sizeof codeText, "Code: 0x%X", code);
    } else {
        std::snprintf(codeText, sizeof codeText, "System Code: 0x%X", systemError);
    }
    LogError("ShowSysError: Code: %s, %.*s", codeText, static_cast<int>(subject.size()),
             subject.data());
    return 0;
}

}  // namespace zen
