#include "service/time_socket.h"

#include <endian.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "platform/root.h"
#include "platform/unix_listener.h"

namespace zen {
namespace {

// What a client may have written before it reads is read and dropped before the hang-up, up
// to this much: closing with unread bytes would reset the connection under the record.
constexpr std::size_t kDrainedBytes = 4096;

void DrainWritten(int client) {
    char buffer[512];
    for (std::size_t drained = 0; drained < kDrainedBytes;) {
        const ssize_t got = ::recv(client, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got <= 0) {
            return;
        }
        drained += static_cast<std::size_t>(got);
    }
}

}  // namespace

std::array<std::byte, 16> SystemTimeRecord(const timespec& moment) {
    tm utc{};
    ::gmtime_r(&moment.tv_sec, &utc);
    const uint16_t fields[8] = {
        static_cast<uint16_t>(utc.tm_year + 1900),
        static_cast<uint16_t>(utc.tm_mon + 1),
        static_cast<uint16_t>(utc.tm_wday),
        static_cast<uint16_t>(utc.tm_mday),
        static_cast<uint16_t>(utc.tm_hour),
        static_cast<uint16_t>(utc.tm_min),
        static_cast<uint16_t>(utc.tm_sec),
        static_cast<uint16_t>(moment.tv_nsec / 1'000'000),
    };
    std::array<std::byte, 16> record{};
    for (std::size_t i = 0; i < 8; ++i) {
        const uint16_t wire = htole16(fields[i]);
        std::memcpy(record.data() + 2 * i, &wire, sizeof wire);
    }
    return record;
}

bool TimeSocket::Open() {
    // One client is served at a time; as many as the system allows may wait meanwhile.
    listener_ = ListenUnix(paths::TimeSocket(), SOMAXCONN);
    return IsOpen();
}

void TimeSocket::Close() {
    listener_.reset();
}

void TimeSocket::ServeOne() {
    const UniqueFd client = AcceptOne(listener_.get());
    if (!client) {
        return;
    }
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const auto record = SystemTimeRecord(now);
    // Errors are not checked: whatever the client does, the server goes back to waiting.
    // Sixteen bytes always fit the socket's buffer, so the send never blocks the loop.
    (void)::send(client.get(), record.data(), record.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    ::shutdown(client.get(), SHUT_WR);
    DrainWritten(client.get());
}

}  // namespace zen
