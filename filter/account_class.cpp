#include "filter/account_class.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/root_choice.h"

namespace zen::filter {
namespace {

constexpr uid_t kDefaultFirstUser = 1000;
constexpr uid_t kNobody = 65534;

// One line of login.defs: "UID_MIN" as a whole word at its start, then a positive number.
long UidMinOf(const char* line) {
    constexpr char kKey[] = "UID_MIN";
    constexpr std::size_t kKeyLength = sizeof kKey - 1;
    if (std::strncmp(line, kKey, kKeyLength) != 0 ||
        (line[kKeyLength] != ' ' && line[kKeyLength] != '\t')) {
        return 0;
    }
    return std::strtol(line + kKeyLength, nullptr, 10);
}

// UID_MIN of the root's login.defs, read in small pieces (any thread's stack will do).
uid_t FirstUserUid() {
    char path[PATH_MAX];
    const char* root = ChosenRoot();
    const bool topLevel = std::strcmp(root, "/") == 0;
    if (std::snprintf(path, sizeof path, "%s/etc/login.defs", topLevel ? "" : root) >=
        static_cast<int>(sizeof path)) {
        return kDefaultFirstUser;
    }
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return kDefaultFirstUser;
    }
    long found = 0;
    char line[256];
    std::size_t used = 0;
    bool tooLong = false;
    char piece[512];
    for (ssize_t length; found <= 0 && (length = ::read(fd, piece, sizeof piece)) > 0;) {
        for (ssize_t i = 0; i < length && found <= 0; ++i) {
            if (piece[i] != '\n') {
                tooLong = tooLong || used + 1 >= sizeof line;
                if (!tooLong) {
                    line[used++] = piece[i];
                }
                continue;
            }
            line[used] = '\0';
            found = tooLong ? 0 : UidMinOf(line);
            used = 0;
            tooLong = false;
        }
    }
    if (found <= 0 && used > 0 && !tooLong) {
        line[used] = '\0';
        found = UidMinOf(line);
    }
    ::close(fd);
    return found > 0 ? static_cast<uid_t>(found) : kDefaultFirstUser;
}

std::atomic<long> firstUserUid{-1};

}  // namespace

bool ProcessNeverControlled() {
    const uid_t uid = ::geteuid();
    if (uid == 0 || uid == kNobody) {
        return true;
    }
    long first = firstUserUid.load(std::memory_order_relaxed);
    if (first < 0) {
        first = FirstUserUid();
        firstUserUid.store(first, std::memory_order_relaxed);
    }
    return uid < static_cast<uid_t>(first);
}

}  // namespace zen::filter
