#include "service/zensvc_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "common/db/db_manager.h"
#include "common/db/rules_model.h"
#include "platform/root.h"
#include "platform/shared_file.h"
#include "platform/unix_listener.h"
#include "service/service_host.h"
#include "support/temp_root.h"

extern char** environ;

namespace zen::test {

ZensvcProcess::ZensvcProcess(const std::vector<std::string>& arguments,
                             const std::vector<std::string>& prefix)
    : stderrFile_(Root() / ("zensvc-stderr." + std::to_string(::getpid()))) {
    std::vector<std::string> words = prefix;
    words.push_back(ZENSVC_PATH);
    words.insert(words.end(), arguments.begin(), arguments.end());
    // On the real clock a test need not wait 5 s for each tick; a faked clock that runs fast
    // (a prefix) hurries the ticks itself.
    const bool debug = std::find(arguments.begin(), arguments.end(), "-debug") != arguments.end();
    const bool tickGiven =
        std::find(arguments.begin(), arguments.end(), "-tick") != arguments.end();
    if (debug && !tickGiven && prefix.empty()) {
        words.insert(words.end(), {"-tick", std::to_string(kTestTick.count())});
    }
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Never the test's terminal: the removal would ask it a question.
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, stderrFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    const int failed = ::posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        throw std::runtime_error("cannot start zensvc");
    }
}

ZensvcProcess::~ZensvcProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

std::string ZensvcProcess::Stderr() const {
    return ReadAll(stderrFile_);
}

bool ZensvcProcess::WaitForLines(std::string_view text, int count,
                                 std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (CountLines(Stderr(), text) < count) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

std::optional<int> ZensvcProcess::WaitExit(std::chrono::milliseconds timeout) {
    const std::optional<int> code = ReapExit(pid_, timeout);
    if (code) {
        pid_ = -1;
    }
    return code;
}

pid_t DetachedServicePid() {
    return static_cast<pid_t>(std::stol(ReadFirstLine(PidFile()).value_or("0")));
}

std::optional<int> ReapExit(pid_t pid, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(20ms);
    }
}

int CountLines(std::string_view text, std::string_view needle) {
    int count = 0;
    for (std::size_t at = text.find(needle); at != std::string_view::npos;
         at = text.find(needle, at + needle.size())) {
        ++count;
    }
    return count;
}

bool WaitForListener(const std::filesystem::path& path, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!ConnectUnix(path)) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

std::string AskTheClock(std::string_view written) {
    const UniqueFd service = ConnectUnix(paths::TimeSocket());
    if (!service) {
        return {};
    }
    if (!written.empty()) {
        (void)::send(service.get(), written.data(), written.size(), MSG_NOSIGNAL);
    }
    std::string received;
    char buffer[64];
    for (ssize_t got; (got = ::recv(service.get(), buffer, sizeof buffer, 0)) > 0;) {
        received.append(buffer, static_cast<std::size_t>(got));
    }
    return received;
}

std::array<uint16_t, 7> ClockMoment(std::string_view record) {
    uint16_t fields[8] = {};
    std::memcpy(fields, record.data(), std::min(record.size(), sizeof fields));
    return {fields[0], fields[1], fields[3], fields[4], fields[5], fields[6], fields[7]};
}

void CreateDatabase() {
    CDBManager creator;
    // The set-up writes the default options before it opens the database.
    if (creator.SaveOptionsAndNotify() != 1 || creator.Init(true) != 1) {
        throw std::runtime_error("cannot create the database");
    }
    creator.Term();
}

std::u16string StoredGroupOf(std::u16string_view user) {
    UsersTable users{"ZenUsr"};
    if (users.Open(false) == 0 || users.Load() == 0 || !FindUser(users, user)) {
        return {};
    }
    return GroupNameOf(users, user);
}

}  // namespace zen::test
