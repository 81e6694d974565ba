#pragma once

#include <array>
#include <cstddef>
#include <ctime>

#include "platform/unique_fd.h"

namespace zen {

// The reply of the time socket: year, month (1-12), day of week (0 = Sunday), day, hour,
// minute, second and milliseconds of a UTC moment, each 16 bits little-endian.
std::array<std::byte, 16> SystemTimeRecord(const timespec& moment);

// The service's clock for local clients, run/zentimo/ZenNamedPipe: every connection gets the
// 16-byte record of the current UTC time and is closed; nothing a client writes is read.
// Served one client at a time by the main loop.
class TimeSocket {
public:
    bool Open();  // replaces a socket left by an earlier run
    void Close();
    bool IsOpen() const { return static_cast<bool>(listener_); }
    int fd() const { return listener_.get(); }
    // Answers the client that is waiting, if one still is.
    void ServeOne();

private:
    UniqueFd listener_;
};

}  // namespace zen
