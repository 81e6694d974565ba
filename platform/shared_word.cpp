#include "platform/shared_word.h"

#include <atomic>

#include "platform/named_object_file.h"

namespace zen {

struct SharedWord::Shared {
    detail::ObjectHeader header;
    std::atomic<uint64_t> word;
};

static_assert(std::atomic<uint64_t>::is_always_lock_free,
              "the word is shared between processes, so it must not need a lock");

SharedWord::~SharedWord() {
    Close();
}

bool SharedWord::Open(std::string_view name) {
    Close();
    constexpr detail::ObjectHeader kHeader{0x5A575701, sizeof(Shared)};  // "ZWW" v1
    const detail::ObjectMapping mapping = detail::MapObject(name, kHeader, ObjectAccess::Everyone);
    shared_ = static_cast<Shared*>(mapping.address);
    return shared_ != nullptr;
}

void SharedWord::Close() {
    detail::UnmapObject(shared_, sizeof(Shared));
    shared_ = nullptr;
}

uint64_t SharedWord::Load() const {
    return shared_->word.load(std::memory_order_acquire);
}

uint64_t SharedWord::Bump() {
    return shared_->word.fetch_add(1, std::memory_order_acq_rel) + 1;
}

}  // namespace zen
