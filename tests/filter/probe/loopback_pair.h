#pragma once

// Both ends of a TCP connection over 127.0.0.1, for programs that measure or probe the filter
// on sockets of their own (errors leave -1 in the ends).
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zen::test {

struct LoopbackPair {
    int client = -1;
    int server = -1;
};

inline LoopbackPair OpenLoopbackPair() {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), length);
    ::listen(listener, 1);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    LoopbackPair pair;
    pair.client = ::socket(AF_INET, SOCK_STREAM, 0);
    ::connect(pair.client, reinterpret_cast<sockaddr*>(&address), length);
    pair.server = ::accept(listener, nullptr, nullptr);
    ::close(listener);
    return pair;
}

}  // namespace zen::test
