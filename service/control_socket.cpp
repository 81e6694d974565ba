#include "service/control_socket.h"

#include <endian.h>
#include <sys/socket.h>
#include <sys/time.h>

#include "platform/root.h"
#include "platform/unix_listener.h"

namespace zen {
namespace {

// How long root's sender may take to write its code, or the service its answer.
constexpr int kExchangeTimeoutMs = 1000;
// The code a handler returns for what it does not implement.
constexpr uint32_t kCallNotImplemented = 120;

// The whole code within the exchange time: a peer that writes part of it and stalls must not
// hold the service's loop.
bool ReadCode(int fd, uint32_t& code) {
    const timeval limit{kExchangeTimeoutMs / 1000, (kExchangeTimeoutMs % 1000) * 1000};
    uint32_t wire = 0;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0 ||
        ::recv(fd, &wire, sizeof wire, MSG_WAITALL) != sizeof wire) {
        return false;
    }
    code = le32toh(wire);
    return true;
}

uid_t PeerUid(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 ? peer.uid : uid_t(-1);
}

bool WriteCode(int fd, uint32_t code) {
    const uint32_t wire = htole32(code);
    return ::send(fd, &wire, sizeof wire, MSG_NOSIGNAL) == sizeof wire;
}

}  // namespace

bool ControlSocket::Open() {
    listener_ = ListenUnix(paths::ControlSocket(), 4);
    return static_cast<bool>(listener_);
}

void ControlSocket::Close() {
    listener_.reset();
}

void ControlSocket::ServeOne(const Handler& handler) {
    const UniqueFd sender = AcceptOne(listener_.get());
    if (!sender || PeerUid(sender.get()) != 0) {
        return;
    }
    uint32_t code = 0;
    if (!ReadCode(sender.get(), code)) {
        return;
    }
    WriteCode(sender.get(), code == kStopCode ? handler(code) : kCallNotImplemented);
}

bool SendControlCode(uint32_t code) {
    // Only the service, which runs as root, may be told a code: whatever another account
    // listens on at that name is not asked.
    const UniqueFd service = ConnectUnix(paths::ControlSocket());
    uint32_t answer = 0;
    return service && PeerUid(service.get()) == 0 && WriteCode(service.get(), code) &&
           ReadCode(service.get(), answer) && answer == 0;
}

}  // namespace zen
