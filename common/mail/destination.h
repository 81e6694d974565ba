#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <optional>
#include <string>

namespace zen {

struct MailDestination {
    sockaddr_storage address{};
    socklen_t length = 0;
    int family() const { return address.ss_family; }
};

// An IPv4 or IPv6 address literal is taken as it is; a name resolves to
// the first address the resolver gives. Nothing when the name does not resolve.
std::optional<MailDestination> ResolveMailServer(const std::string& server, uint16_t port);

// The name this machine greets the server with.
std::string MailHeloName();

}  // namespace zen
