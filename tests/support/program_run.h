#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zen::test {

// A real program run under another account: forked, its uid and gid set, then the program
// executed, so /proc shows exactly what it would for a program the user started.
class ProgramRun {
public:
    // Runs `program` with the argument "600" (seconds, for sleep); `ignoreTerm`: SIGTERM is
    // ignored, as by a program that will not close.
    ProgramRun(const std::filesystem::path& program, uid_t uid, bool ignoreTerm = false);
    // Runs `program` with `arguments` (argv[0] first) in the working directory `directory`,
    // as a loader or an interpreter is started.
    ProgramRun(const std::filesystem::path& program, std::vector<std::string> arguments,
               const std::filesystem::path& directory, uid_t uid);
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    pid_t pid() const { return pid_; }
    // True once /proc shows the program running under the uid.
    bool Started() const;
    // Whether it has ended (reaping it when it has); the wait status once it has.
    std::optional<int> Ended();
    void Kill();

private:
    ProgramRun(const std::filesystem::path& program, std::vector<std::string> arguments,
               const std::filesystem::path& directory, uid_t uid, bool ignoreTerm);

    std::filesystem::path program_;
    uid_t uid_;
    pid_t pid_ = -1;
    std::optional<int> status_;
};

// A copy of a program at `to`, readable and runnable by everyone, with every folder above it
// opened for passing through (as root's temporary folders are not).
void InstallProgram(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace zen::test
