#include "service/unix_listener.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <cerrno>
#include <cstring>

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

}  // namespace

UniqueFd ListenUnix(const std::filesystem::path& path, int backlog) {
    sockaddr_un address{};
    if (!FillAddress(path, address)) {
        return {};
    }
    struct stat old {};
    if (::lstat(path.c_str(), &old) == 0 && S_ISSOCK(old.st_mode)) {
        // Another running instance keeps its socket; only a dead one's is replaced.
        if (ConnectUnix(path)) {
            errno = EADDRINUSE;
            return {};
        }
        ::unlink(path.c_str());
    }
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd || ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd.get(), backlog) != 0) {
        return {};
    }
    // The run directory is sticky: nobody else can swap the path between bind and chmod.
    if (::chmod(path.c_str(), 0666) != 0) {
        return {};
    }
    return fd;
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
