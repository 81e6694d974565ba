#pragma once

#include <cstdint>
#include <unordered_map>

#include "platform/processes.h"

namespace zen {

// CheckSum of the files that processes run, kept by file identity (device, inode, size,
// modification time): a pass over hundreds of processes reads no file that did not change,
// and a changed file is read again. The file is read through /proc/PID/exe, so a process is
// judged by the file it runs even when its path was replaced or removed since; a program
// carried out by a loader or an interpreter is read at its path, while it is still that file.
class ChecksumCache {
public:
    // kCheckSumFailed when the file cannot be read.
    uint32_t Of(int procDir, const ProcessInfo& process);
    void Clear() { sums_.clear(); }

private:
    struct IdHash {
        std::size_t operator()(const ExecutableId& id) const {
            return id.inode ^ (id.device << 40) ^ static_cast<std::size_t>(id.mtimeNs);
        }
    };
    std::unordered_map<ExecutableId, uint32_t, IdHash> sums_;
};

}  // namespace zen
