#include "support/program_run.h"

#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace zen::test {

ProgramRun::ProgramRun(const std::filesystem::path& program, uid_t uid, bool ignoreTerm)
    : ProgramRun(program, {program.filename().string(), "600"}, {}, uid, ignoreTerm) {}

ProgramRun::ProgramRun(const std::filesystem::path& program, std::vector<std::string> arguments,
                       const std::filesystem::path& directory, uid_t uid)
    : ProgramRun(program, std::move(arguments), directory, uid, false) {}

ProgramRun::ProgramRun(const std::filesystem::path& program, std::vector<std::string> arguments,
                       const std::filesystem::path& directory, uid_t uid, bool ignoreTerm)
    : program_(program), uid_(uid) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid_ == 0) {
        // Raw system calls: only this thread exists in the child.
        if (::syscall(SYS_setgroups, 0, nullptr) != 0 ||
            ::syscall(SYS_setresgid, uid, uid, uid) != 0 ||
            ::syscall(SYS_setresuid, uid, uid, uid) != 0 ||
            (!directory.empty() && ::chdir(directory.c_str()) != 0)) {
            ::_exit(126);
        }
        if (ignoreTerm) {
            ::signal(SIGTERM, SIG_IGN);
        }
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
}

ProgramRun::~ProgramRun() {
    Kill();
}

void ProgramRun::Kill() {
    if (!Ended()) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        status_ = status;
    }
}

bool ProgramRun::Started() const {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/" + std::to_string(pid_) + "/exe", error);
    if (error || exe != program_) {
        return false;
    }
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("Uid:")) {
            uid_t real = 0;
            std::istringstream(line.substr(4)) >> real;
            return real == uid_;
        }
    }
    return false;
}

std::optional<int> ProgramRun::Ended() {
    if (!status_) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = status;
        }
    }
    return status_;
}

void InstallProgram(const std::filesystem::path& from, const std::filesystem::path& to) {
    namespace fs = std::filesystem;
    fs::create_directories(to.parent_path());
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    ::chmod(to.c_str(), 0755);
    for (fs::path folder = to.parent_path(); folder != folder.root_path();
         folder = folder.parent_path()) {
        struct stat status {};
        if (::stat(folder.c_str(), &status) == 0) {
            ::chmod(folder.c_str(), (status.st_mode & 07777) | 0111);
        }
    }
}

}  // namespace zen::test
