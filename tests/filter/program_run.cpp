#include "program_run.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <utility>

extern char** environ;

namespace zen::test {

Program::Program(const std::vector<std::string>& command, const Options& options) {
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe");
    }
    std::vector<std::string> environment = options.environment;
    for (char** each = environ; *each != nullptr; ++each) {
        const std::string_view entry(*each);
        const std::string_view name = entry.substr(0, entry.find('='));
        const bool overridden =
            std::any_of(environment.begin(), environment.end(), [&](const std::string& mine) {
                return mine.starts_with(name) && mine.size() > name.size() &&
                       mine[name.size()] == '=';
            });
        if (!overridden) {
            environment.emplace_back(entry);
        }
    }
    std::vector<char*> argv;
    for (const std::string& word : command) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    pid_ = ::fork();
    if (pid_ < 0) {
        throw std::runtime_error("fork");
    }
    if (pid_ == 0) {
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        if (options.uid) {
            const gid_t gid = *options.uid;
            if (::setgroups(0, nullptr) != 0 || ::setresgid(gid, gid, gid) != 0 ||
                ::setresuid(*options.uid, *options.uid, *options.uid) != 0) {
                ::_exit(126);
            }
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    input_ = in[1];
    output_ = out[0];
}

Program::~Program() {
    CloseInput();
    if (output_ >= 0) {
        ::close(output_);
    }
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

std::optional<std::string> Program::ReadLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (const auto end = pending_.find('\n'); end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (ended_ && !pending_.empty()) {
            return std::exchange(pending_, {});  // the last line, without an end
        }
        if (ended_ || left.count() <= 0) {
            return std::nullopt;
        }
        pollfd ready{output_, POLLIN, 0};
        if (::poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t got = ::read(output_, buffer, sizeof buffer);
        if (got <= 0) {
            ended_ = true;
            continue;
        }
        pending_.append(buffer, static_cast<std::size_t>(got));
    }
}

std::vector<std::string> Program::ReadLines(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::vector<std::string> lines;
    while (auto line = ReadLine(std::chrono::duration_cast<std::chrono::milliseconds>(
               deadline - std::chrono::steady_clock::now()))) {
        lines.push_back(*line);
    }
    return lines;
}

void Program::CloseInput() {
    if (input_ >= 0) {
        ::close(input_);
        input_ = -1;
    }
}

std::optional<int> Program::Wait(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace zen::test
