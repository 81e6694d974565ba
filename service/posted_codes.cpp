#include "service/posted_codes.h"

#include <sys/eventfd.h>
#include <unistd.h>

namespace zen {

bool PostedCodes::Create() {
    wake_.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    return static_cast<bool>(wake_);
}

bool PostedCodes::Post(uint32_t code) {
    const std::lock_guard lock(mutex_);
    const uint64_t one = 1;
    if (!wake_ || ::write(wake_.get(), &one, sizeof one) != sizeof one) {
        return false;
    }
    codes_.push_back(code);
    return true;
}

std::optional<uint32_t> PostedCodes::Take() {
    const std::lock_guard lock(mutex_);
    uint64_t count = 0;
    (void)::read(wake_.get(), &count, sizeof count);
    if (codes_.empty()) {
        return std::nullopt;
    }
    const uint32_t code = codes_.front();
    codes_.pop_front();
    if (!codes_.empty()) {
        const uint64_t one = 1;
        (void)::write(wake_.get(), &one, sizeof one);
    }
    return code;
}

}  // namespace zen
