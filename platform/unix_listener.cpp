#include "platform/unix_listener.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <string>

namespace zen {
namespace {

bool FillAddress(const std::filesystem::path& path, sockaddr_un& address) {
    const std::string text = path.string();
    if (text.size() >= sizeof address.sun_path) {
        return false;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return true;
}

uint64_t RandomNumber() {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    return generator();
}

// A directory at the name cannot be renamed over: it is moved aside, whatever it holds, and
// the socket takes the name.
bool ReplacePlantedDirectory(const std::filesystem::path& socket,
                             const std::filesystem::path& path) {
    if (errno != EISDIR && errno != ENOTEMPTY && errno != EEXIST) {
        return false;
    }
    std::filesystem::path aside = path;
    aside += ".planted." + std::to_string(RandomNumber());
    return ::rename(path.c_str(), aside.c_str()) == 0 &&
           ::rename(socket.c_str(), path.c_str()) == 0;
}

}  // namespace

UniqueFd ListenUnix(const std::filesystem::path& path, int backlog) {
    sockaddr_un address{};
    if (!FillAddress(path, address)) {
        return {};
    }
    struct stat old {};
    if (::lstat(path.c_str(), &old) == 0 && S_ISSOCK(old.st_mode) && old.st_uid == ::geteuid() &&
        ListenerIsUser(path, ::geteuid())) {
        // Another running instance keeps its socket; anything else at the name is replaced.
        errno = EADDRINUSE;
        return {};
    }
    // Bound under a fresh name that nobody can have taken, opened up, and only then renamed
    // over whatever another account may have put at the final name: no one can hold the name
    // before the service, or reach its socket half made.
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) {
        return {};
    }
    std::filesystem::path fresh;
    for (int attempt = 0;; ++attempt) {
        fresh = path;
        fresh += "." + std::to_string(static_cast<uint32_t>(RandomNumber()));
        sockaddr_un freshAddress{};
        if (!FillAddress(fresh, freshAddress)) {
            return {};
        }
        if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&freshAddress),
                   sizeof freshAddress) == 0) {
            break;
        }
        if (errno != EADDRINUSE || attempt == 16) {
            return {};
        }
    }
    if (::chmod(fresh.c_str(), 0666) != 0 || ::listen(fd.get(), backlog) != 0 ||
        (::rename(fresh.c_str(), path.c_str()) != 0 && !ReplacePlantedDirectory(fresh, path))) {
        ::unlink(fresh.c_str());
        return {};
    }
    return fd;
}

bool ListenerIsUser(const std::filesystem::path& path, uid_t uid) {
    const UniqueFd peer = ConnectUnix(path);
    ucred credentials{};
    socklen_t size = sizeof credentials;
    return peer && ::getsockopt(peer.get(), SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 &&
           credentials.uid == uid;
}

UniqueFd ConnectUnix(const std::filesystem::path& path) {
    sockaddr_un address{};
    if (!FillAddress(path, address)) {
        return {};
    }
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd ||
        ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return {};
    }
    return fd;
}

UniqueFd AcceptOne(int listener) {
    return UniqueFd(::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
}

}  // namespace zen
