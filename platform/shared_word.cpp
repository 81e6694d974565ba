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

namespace {
constexpr detail::ObjectHeader kHeader{0x5A575701, sizeof(detail::ObjectHeader) + 8};  // "ZWW" v1
}  // namespace

bool SharedWord::Open(std::string_view name) {
    static_assert(sizeof(Shared) == kHeader.size);
    Close();
    const detail::ObjectMapping mapping = detail::MapObject(name, kHeader, ObjectAccess::Everyone);
    shared_ = static_cast<Shared*>(mapping.address);
    name_ = name;
    device_ = mapping.device;
    inode_ = mapping.inode;
    return shared_ != nullptr;
}

bool SharedWord::Refresh(bool* replaced) {
    if (shared_ == nullptr) {
        return false;
    }
    detail::ObjectMapping mapping{shared_, true, static_cast<dev_t>(device_),
                                  static_cast<ino_t>(inode_)};
    if (!detail::RefreshObject(mapping, name_, kHeader, ObjectAccess::Everyone)) {
        return false;
    }
    if (replaced != nullptr) {
        *replaced = mapping.device != device_ || mapping.inode != inode_;
    }
    device_ = mapping.device;
    inode_ = mapping.inode;
    return true;
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
