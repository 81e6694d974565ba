#include "support/command_run.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>

#include "platform/unique_fd.h"

namespace zen::test {

CommandResult RunCommand(std::vector<std::string> words) {
    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
        return {};
    }
    UniqueFd outRead(out[0]), outWrite(out[1]), errRead(err[0]), errWrite(err[1]);
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();
        ::dup2(outWrite.get(), 1);
        ::dup2(errWrite.get(), 2);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    outWrite.reset();
    errWrite.reset();
    CommandResult result;
    std::array<pollfd, 2> fds{pollfd{outRead.get(), POLLIN, 0}, pollfd{errRead.get(), POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    while (open > 0 && ::poll(fds.data(), fds.size(), 30000) > 0) {
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
            if (got <= 0) {
                fds[i].fd = -1;
                --open;
            } else {
                sinks[i]->append(buffer, static_cast<std::size_t>(got));
            }
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

}  // namespace zen::test
