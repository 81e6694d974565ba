#pragma once

#include <chrono>
#include <cstddef>

namespace zen {

using MailClock = std::chrono::steady_clock;

// The outcome of one non-blocking step on a socket, plain or encrypted.
enum class IoStatus { Done, WantRead, WantWrite, Closed, Failed };

// One non-blocking receive or send on a plain socket; `count` is what moved.
IoStatus PlainReceive(int fd, char* data, std::size_t size, std::size_t& count);
IoStatus PlainSend(int fd, const char* data, std::size_t size, std::size_t& count);

// Waits until the socket can do what `wanted` (WantRead or WantWrite) asks; false when the
// deadline passes first or the wait fails.
bool WaitUntilReady(int fd, IoStatus wanted, MailClock::time_point deadline);

}  // namespace zen
