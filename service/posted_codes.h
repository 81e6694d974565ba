#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

#include "platform/unique_fd.h"

namespace zen {

// Control codes queued for the main loop: an eventfd the loop polls, beside the codes in the
// order they were posted.
class PostedCodes {
public:
    bool Create();
    int fd() const { return wake_.get(); }
    bool Post(uint32_t code);
    // The oldest code, once the eventfd was drained; nothing when the queue is empty.
    std::optional<uint32_t> Take();

private:
    UniqueFd wake_;
    std::mutex mutex_;
    std::deque<uint32_t> codes_;
};

}  // namespace zen
