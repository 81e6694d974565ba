#include "support/child_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <stdexcept>

namespace zen::test {
namespace {

std::map<std::string, ChildBody>& Registry() {
    static std::map<std::string, ChildBody> registry;
    return registry;
}

}  // namespace

ChildRegistration::ChildRegistration(const std::string& name, ChildBody body) {
    Registry().emplace(name, std::move(body));
}

Child::Child(const std::string& name, const std::vector<std::string>& args) {
    std::vector<std::string> words{"/proc/self/exe", "--zen-child", name};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid_ == 0) {
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
}

Child::Child(Child&& other) noexcept : pid_(other.pid_) {
    other.pid_ = -1;
}

Child::~Child() {
    if (pid_ > 0) {
        Kill(SIGKILL);
        Wait();
    }
}

int Child::Wait() {
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void Child::Kill(int signal) {
    if (pid_ > 0) {
        ::kill(pid_, signal);
    }
}

int RunChild(const std::string& name, const std::vector<std::string>& args) {
    return Child(name, args).Wait();
}

void RunChildIfRequested(int argc, char** argv) {
    if (argc < 3 || std::strcmp(argv[1], "--zen-child") != 0) {
        return;
    }
    auto found = Registry().find(argv[2]);
    if (found == Registry().end()) {
        std::_Exit(126);
    }
    std::vector<std::string> args(argv + 3, argv + argc);
    std::exit(found->second(args));
}

}  // namespace zen::test
