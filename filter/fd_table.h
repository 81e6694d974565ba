#pragma once

#include <cstdint>

namespace zen::filter {

// What the filter knows of a descriptor number.
enum class FdState : uint8_t {
    Unknown = 0,  // never seen, or closed since
    Other = 1,    // a socket the filter does not control (local, raw, ...)
    Tracked = 2,  // an Internet stream or datagram socket
    Refused = 3,  // tracked, shut down after a refusal: every call fails until closed
    Own = 4,      // a file the filter's rules keep open
};

// The process's table of descriptor states: lock-free, async-signal-safe, and free until the
// first descriptor is recorded (chunks of it are mapped only when a number in them is set).
namespace fd_table {

FdState Get(int fd);
// Records a state; false when the number is out of range or memory could not be mapped.
bool Set(int fd, FdState state);
// Forgets [first, last] (close_range); true when one of them was the filter's own.
bool ClearRange(unsigned first, unsigned last);

}  // namespace fd_table

inline bool IsTracked(FdState state) {
    return state == FdState::Tracked || state == FdState::Refused;
}

}  // namespace zen::filter
