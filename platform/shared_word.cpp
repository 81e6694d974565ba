#include "platform/shared_word.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <atomic>

#include "platform/shared_file.h"

namespace zen {
namespace {

// One cache line; the word sits at its start.
constexpr off_t kFileSize = 64;

static_assert(std::atomic_ref<uint64_t>::is_always_lock_free,
              "the word is shared between processes, so it must not need a lock");

}  // namespace

SharedWord::~SharedWord() {
    Close();
}

bool SharedWord::Open(const std::filesystem::path& path) {
    Close();
    UniqueFd fd = OpenSharedFile(path, O_RDWR | O_CREAT, 0666);
    if (!fd) {
        return false;
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) {
        return false;
    }
    // The creator and an early opener may both find the file empty; growing it to the same
    // size twice is harmless, and shrinking is never done here.
    if (status.st_size < kFileSize && ::ftruncate(fd.get(), kFileSize) != 0) {
        return false;
    }
    void* mapped = ::mmap(nullptr, kFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
    if (mapped == MAP_FAILED) {
        return false;
    }
    word_ = static_cast<uint64_t*>(mapped);
    return true;
}

void SharedWord::Close() {
    if (word_ != nullptr) {
        ::munmap(word_, kFileSize);
        word_ = nullptr;
    }
}

uint64_t SharedWord::Load() const {
    return std::atomic_ref<uint64_t>(*word_).load(std::memory_order_acquire);
}

uint64_t SharedWord::Bump() {
    return std::atomic_ref<uint64_t>(*word_).fetch_add(1, std::memory_order_acq_rel) + 1;
}

}  // namespace zen
