#include "common/db/checksum_cache.h"

#include "common/db/checksum.h"

namespace zen {
namespace {

// Past this many distinct files the cache starts afresh, so that it never grows without end.
constexpr std::size_t kMostFiles = 4096;

}  // namespace

uint32_t ChecksumCache::Of(int procDir, const ProcessInfo& process) {
    if (const auto known = sums_.find(process.ProgramFile()); known != sums_.end()) {
        return known->second;
    }
    const UniqueFd file = OpenProgram(procDir, process);
    const std::optional<ExecutableId> id = file ? IdentityOf(file.get()) : std::nullopt;
    if (!id) {
        return kCheckSumFailed;
    }
    const uint32_t sum = CheckSumOfOpenFile(file.get(), process.ProgramPath().c_str());
    if (sum != kCheckSumFailed) {
        if (sums_.size() >= kMostFiles) {
            sums_.clear();
        }
        // Kept under the identity of what was read: a process that ran another program since
        // it was listed brings its new identity at the next pass.
        sums_.emplace(*id, sum);
    }
    return sum;
}

}  // namespace zen
