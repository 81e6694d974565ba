// socket, connect, listen, accept and shutdown.
#include <sys/socket.h>

#include "filter/guarded_call.h"
#include "filter/next_calls.h"

using namespace zen::filter;

namespace {

int AcceptedSocket(FdState listenerState, int fd) {
    if (fd < 0) {
        return fd;
    }
    if (!IsTracked(listenerState)) {
        Record(fd, listenerState == FdState::Other ? FdState::Other : FdState::Unknown);
        return fd;
    }
    return AdmitNewSocket(fd);
}

}  // namespace

ZEN_HOOK int socket(int domain, int type, int protocol) {
    const int fd = Next().socket(domain, type, protocol);
    if (fd < 0) {
        return fd;
    }
    if (!IsInternetSocket(domain, type)) {
        Forget(fd);  // whatever a number closed out of the filter's sight left behind
        return fd;
    }
    return AdmitNewSocket(fd);
}

ZEN_HOOK int connect(int fd, const sockaddr* address, socklen_t length) {
    return CheckedBefore(fd, true, Checks::Timetable,
                         [&] { return Next().connect(fd, address, length); });
}

ZEN_HOOK int listen(int fd, int backlog) {
    return CheckedBefore(fd, true, Checks::Timetable, [&] { return Next().listen(fd, backlog); });
}

ZEN_HOOK int accept(int fd, sockaddr* address, socklen_t* length) {
    const FdState state = StateOf(fd, true);
    if (state == FdState::Refused && !Permit(fd, state, Checks::Timetable)) {
        return -1;
    }
    return AcceptedSocket(state, Next().accept(fd, address, length));
}

ZEN_HOOK int accept4(int fd, sockaddr* address, socklen_t* length, int flags) {
    const FdState state = StateOf(fd, true);
    if (state == FdState::Refused && !Permit(fd, state, Checks::Timetable)) {
        return -1;
    }
    return AcceptedSocket(state, Next().accept4(fd, address, length, flags));
}

ZEN_HOOK int shutdown(int fd, int how) {
    if (how == SHUT_RD) {
        return Next().shutdown(fd, how);
    }
    return CheckedBefore(fd, true, Checks::Timetable, [&] { return Next().shutdown(fd, how); });
}
