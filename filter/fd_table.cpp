#include "filter/fd_table.h"

#include <sys/mman.h>

#include <algorithm>
#include <atomic>

namespace zen::filter::fd_table {
namespace {

constexpr unsigned kChunkBits = 12;
constexpr unsigned kChunkSize = 1u << kChunkBits;
// 2^20 descriptors: the kernel's default ceiling of RLIMIT_NOFILE (fs.nr_open).
constexpr unsigned kChunks = 256;

using Chunk = std::atomic<uint8_t>[kChunkSize];

// Zero-initialised at load, so reading needs no set-up.
std::atomic<Chunk*> chunks[kChunks];

Chunk* ChunkOf(unsigned fd, bool create) {
    std::atomic<Chunk*>& slot = chunks[fd >> kChunkBits];
    Chunk* chunk = slot.load(std::memory_order_acquire);
    if (chunk != nullptr || !create) {
        return chunk;
    }
    // mmap, not malloc: safe in a signal handler and in a vfork child.
    void* memory =
        ::mmap(nullptr, sizeof(Chunk), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        return nullptr;
    }
    auto* fresh = static_cast<Chunk*>(memory);
    if (!slot.compare_exchange_strong(chunk, fresh, std::memory_order_acq_rel)) {
        ::munmap(memory, sizeof(Chunk));
        return chunk;
    }
    return fresh;
}

}  // namespace

FdState Get(int fd) {
    if (fd < 0 || static_cast<unsigned>(fd) >= kChunks * kChunkSize) {
        return FdState::Unknown;
    }
    Chunk* chunk = ChunkOf(static_cast<unsigned>(fd), false);
    if (chunk == nullptr) {
        return FdState::Unknown;
    }
    return static_cast<FdState>((*chunk)[fd & (kChunkSize - 1)].load(std::memory_order_acquire));
}

bool Set(int fd, FdState state) {
    if (fd < 0 || static_cast<unsigned>(fd) >= kChunks * kChunkSize) {
        return state == FdState::Unknown;
    }
    Chunk* chunk = ChunkOf(static_cast<unsigned>(fd), state != FdState::Unknown);
    if (chunk == nullptr) {
        return state == FdState::Unknown;
    }
    (*chunk)[fd & (kChunkSize - 1)].store(static_cast<uint8_t>(state), std::memory_order_release);
    return true;
}

bool ClearRange(unsigned first, unsigned last) {
    bool own = false;
    last = std::min(last, kChunks * kChunkSize - 1);
    for (unsigned fd = first; fd <= last && first <= last; ++fd) {
        if (Chunk* chunk = ChunkOf(fd, false)) {
            own |= (*chunk)[fd & (kChunkSize - 1)].exchange(0, std::memory_order_acq_rel) ==
                   static_cast<uint8_t>(FdState::Own);
        } else {
            fd |= kChunkSize - 1;  // a whole unmapped chunk holds nothing
        }
        if (fd == last) {
            break;
        }
    }
    return own;
}

}  // namespace zen::filter::fd_table
