#include "common/mail/socket_io.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

namespace zen {
namespace {

IoStatus FromResult(ssize_t result, std::size_t& count, IoStatus wouldBlock) {
    if (result > 0) {
        count = static_cast<std::size_t>(result);
        return IoStatus::Done;
    }
    if (result == 0) {
        return IoStatus::Closed;
    }
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? wouldBlock
                                                                     : IoStatus::Failed;
}

}  // namespace

IoStatus PlainReceive(int fd, char* data, std::size_t size, std::size_t& count) {
    return FromResult(::recv(fd, data, size, 0), count, IoStatus::WantRead);
}

IoStatus PlainSend(int fd, const char* data, std::size_t size, std::size_t& count) {
    // MSG_NOSIGNAL: a server that hangs up must not kill the process with SIGPIPE.
    return FromResult(::send(fd, data, size, MSG_NOSIGNAL), count, IoStatus::WantWrite);
}

bool WaitUntilReady(int fd, IoStatus wanted, MailClock::time_point deadline) {
    pollfd entry{fd, static_cast<short>(wanted == IoStatus::WantWrite ? POLLOUT : POLLIN), 0};
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - MailClock::now());
        if (left.count() <= 0) {
            return false;
        }
        const int wait = static_cast<int>(std::min<long long>(left.count(), 60'000));
        const int ready = ::poll(&entry, 1, wait);
        if (ready > 0) {
            return true;
        }
        if (ready < 0 && errno != EINTR) {
            return false;
        }
    }
}

}  // namespace zen
