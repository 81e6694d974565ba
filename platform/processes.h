#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/unique_fd.h"

namespace zen {

// The file a process runs, as far as a checksum of it can tell: a changed file has another
// size or modification time, a replaced one another inode.
struct ExecutableId {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t mtimeNs = 0;
    bool operator==(const ExecutableId&) const = default;
};

// The program a process runs when its executable only carries it out: the program a dynamic
// loader was started with, or the script an interpreter runs.
struct CarriedProgram {
    std::string path;  // absolute, resolved against the process's working directory
    ExecutableId file;
};

// One running process as /proc shows it.
struct ProcessInfo {
    pid_t pid = 0;
    uid_t realUid = 0;
    // Start time in clock ticks since boot: with the pid it names one process for its life.
    uint64_t startTicks = 0;
    std::string path;  // the target of /proc/PID/exe, " (deleted)" included when so shown
    ExecutableId executable;
    std::optional<CarriedProgram> carried;

    // What the process really runs: the carried program when there is one, else the path.
    const std::string& ProgramPath() const { return carried ? carried->path : path; }
    const ExecutableId& ProgramFile() const { return carried ? carried->file : executable; }
};

// An open directory of /proc, for reading many processes relative to it.
UniqueFd OpenProcDirectory();

// Reads one process; nothing when it is gone, a kernel thread, or cannot be read.
std::optional<ProcessInfo> ReadProcess(int procDir, pid_t pid);

// The target of /proc/PID/exe; nothing when the process is gone or runs no file.
std::optional<std::string> ExecutablePath(int procDir, pid_t pid);

// A pidfd for the process as it was read: nothing when it has ended, for its pid may name
// another process by now. The pidfd is taken first and the process checked after, so a
// pidfd that passes refers to the process read.
UniqueFd OpenProcessFd(int procDir, pid_t pid, uint64_t startTicks);

// The executable the process runs, opened through /proc/PID/exe: the file it was started
// from even when that path was replaced or removed since.
UniqueFd OpenExecutable(int procDir, pid_t pid);

// What the process really runs, opened: the carried program when it still is the file that
// was read, else the executable as above.
UniqueFd OpenProgram(int procDir, const ProcessInfo& process);

// The identity of a file from its status.
ExecutableId IdentityFromStat(const struct stat& status);

// The identity of an open file.
std::optional<ExecutableId> IdentityOf(int fd);

}  // namespace zen
