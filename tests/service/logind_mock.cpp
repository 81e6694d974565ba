#include "service/logind_mock.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "support/temp_root.h"

namespace zen::test {

LogindMock::LogindMock(const std::filesystem::path& folder) {
    int input[2];
    int output[2];
    if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(input[0], 0);
        ::dup2(output[1], 1);
        const std::string script = SERVICE_TEST_DIR "/logind_mock.py";
        ::execl("/usr/bin/python3", "/usr/bin/python3", script.c_str(), folder.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(input[0]);
    ::close(output[1]);
    toMock_ = ::fdopen(input[1], "w");
    fromMock_ = ::fdopen(output[0], "r");
    char line[512] = {};
    const std::string prefix = "ADDRESS ";
    if (std::fgets(line, sizeof line, fromMock_) == nullptr ||
        std::string(line).rfind(prefix, 0) != 0) {
        throw std::runtime_error("the logind mock did not start");
    }
    std::string address = std::string(line).substr(prefix.size());
    address.erase(address.find_last_not_of("\r\n") + 1);
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
    ReloadEnvironment();
}

LogindMock::~LogindMock() {
    ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    ReloadEnvironment();
    std::fclose(toMock_);
    std::fclose(fromMock_);
    ::waitpid(pid_, nullptr, 0);
}

void LogindMock::AddSession(const std::string& id, unsigned uid, const std::string& user) {
    Command("session " + id + " " + std::to_string(uid) + " " + user);
}

void LogindMock::AddGreeterSession(const std::string& id, unsigned uid, const std::string& user) {
    Command("greeter " + id + " " + std::to_string(uid) + " " + user);
}

void LogindMock::Activate(const std::string& id) {
    Command("activate " + id);
}

std::vector<std::string> LogindMock::Calls() {
    std::vector<std::string> calls = Command("calls");
    for (std::string& call : calls) {
        call.erase(0, std::string("CALL ").size());
    }
    return calls;
}

std::vector<std::string> LogindMock::Command(const std::string& line) {
    std::fputs((line + "\n").c_str(), toMock_);
    std::fflush(toMock_);
    std::vector<std::string> answers;
    char answer[512] = {};
    while (std::fgets(answer, sizeof answer, fromMock_) != nullptr) {
        std::string text(answer);
        text.erase(text.find_last_not_of("\r\n") + 1);
        if (text == "OK") {
            return answers;
        }
        answers.push_back(text);
    }
    throw std::runtime_error("the logind mock refused: " + line);
}

}  // namespace zen::test
