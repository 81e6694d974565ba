#include "common/mail/destination.h"

#include <netdb.h>
#include <unistd.h>

#include <cstring>
#include <memory>

namespace zen {
namespace {

std::optional<MailDestination> Lookup(const std::string& host, uint16_t port, int flags) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 ||
        found == nullptr) {
        return std::nullopt;
    }
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owner(found, ::freeaddrinfo);
    MailDestination destination;
    std::memcpy(&destination.address, found->ai_addr, found->ai_addrlen);
    destination.length = found->ai_addrlen;
    return destination;
}

}  // namespace

std::optional<MailDestination> ResolveMailServer(const std::string& server, uint16_t port) {
    if (auto literal = Lookup(server, port, AI_NUMERICHOST)) {
        return literal;
    }
    return Lookup(server, port, 0);
}

std::string MailHeloName() {
    char name[1025] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') {
        return "zenhost";
    }
    return name;
}

}  // namespace zen
