#include "service/service_host.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <span>
#include <vector>

#include "platform/root.h"
#include "platform/shared_file.h"
#include "service/packaged_texts.h"

extern char** environ;

namespace zen {
namespace {

int WaitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::string_view ServiceUnitText() {
    return kServiceUnitText;
}

std::filesystem::path OwnProgramPath() {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error);
}

bool Systemctl(std::initializer_list<std::string_view> arguments) {
    if (!SystemdRuns()) {
        return false;
    }
    std::vector<std::string> words{"systemctl"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, "systemctl", nullptr, nullptr, argv.data(), environ) != 0) {
        return false;
    }
    return WaitFor(pid) == 0;
}

bool DetachedServiceRuns() {
    const auto text = ReadFirstLine(PidFile());
    if (!text) {
        return false;
    }
    try {
        // A pid of a process that ended may have been given to another program since.
        const std::string pid = std::to_string(std::stol(*text));
        std::error_code error;
        return std::filesystem::read_symlink("/proc/" + pid + "/exe", error) == OwnProgramPath();
    } catch (const std::exception&) {
        return false;
    }
}

bool StartDetached(const std::filesystem::path& program) {
    const pid_t middle = ::fork();
    if (middle < 0) {
        return false;
    }
    if (middle == 0) {
        // The middle process starts a session and leaves at once, so the service is nobody's
        // child and has no terminal; it writes the pid the service will have.
        ::setsid();
        const pid_t service = ::fork();
        if (service < 0) {
            ::_exit(1);
        }
        if (service == 0) {
            const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execl(program.c_str(), program.c_str(), "/service", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        const std::string pid = std::to_string(service) + "\n";
        ::_exit(ReplaceFile(PidFile(), std::as_bytes(std::span(pid)), 0644) ? 0 : 1);
    }
    return WaitFor(middle) == 0;
}

}  // namespace zen
