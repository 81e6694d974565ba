#include "filter/check_points.h"

#include <sys/socket.h>

#include <cerrno>

#include "filter/aio_engine.h"
#include "filter/next_calls.h"
#include "filter/process_state.h"

namespace zen::filter {
namespace {

bool SocketOption(int fd, int option, int& value) {
    socklen_t length = sizeof value;
    return ::getsockopt(fd, SOL_SOCKET, option, &value, &length) == 0;
}

// Descriptors closed where the filter cannot see it (inside the C library) may leave a
// stale entry: a refusal is only carried out on what still is an Internet socket.
bool StillInternetSocket(int fd) {
    int domain = 0;
    int type = 0;
    return SocketOption(fd, SO_DOMAIN, domain) && SocketOption(fd, SO_TYPE, type) &&
           IsInternetSocket(domain, type);
}

Verdict Evaluate(Checks checks) {
    return EvaluatePolicy(checks == Checks::DailyThenTimetable);
}

}  // namespace

bool IsInternetSocket(int domain, int type) {
    const int kind = type & ~(SOCK_NONBLOCK | SOCK_CLOEXEC);
    return (domain == AF_INET || domain == AF_INET6) && (kind == SOCK_STREAM || kind == SOCK_DGRAM);
}

FdState StateOf(int fd, bool classify) {
    const FdState state = fd_table::Get(fd);
    if (state != FdState::Unknown || !classify || FilterScope::Active()) {
        return state;
    }
    int domain = 0;
    int type = 0;
    if (!SocketOption(fd, SO_DOMAIN, domain) || !SocketOption(fd, SO_TYPE, type)) {
        return FdState::Unknown;  // not a socket (or not open): nothing to remember
    }
    // A socket the filter did not see made: inherited over exec, or passed by another process.
    const FdState found = IsInternetSocket(domain, type) ? FdState::Tracked : FdState::Other;
    Record(fd, found);
    return found;
}

void Record(int fd, FdState state) {
    if (state != FdState::Unknown) {
        NoteFirstRecord();
    }
    if (InVforkChild()) {
        return;
    }
    fd_table::Set(fd, state);
}

void LostOwn(FdState state) {
    if (state == FdState::Own && !FilterScope::Active()) {
        ReopenPolicy();
        aio::RenewWakeUp();
    }
}

FdState Forget(int fd) {
    const FdState state = fd_table::Get(fd);
    if (state != FdState::Unknown) {
        Record(fd, FdState::Unknown);
    }
    return state;
}

void CopyState(int from, int to) {
    const FdState state = fd_table::Get(from);
    const FdState replaced = fd_table::Get(to);
    if (replaced != state) {
        LostOwn(replaced);
        Record(to, state == FdState::Own ? FdState::Unknown : state);
    }
}

void ForgetRange(unsigned first, unsigned last) {
    if (!InVforkChild() && fd_table::ClearRange(first, last)) {
        LostOwn(FdState::Own);
    }
}

void NoteOpened(int fd) {
    if (fd < 0) {
        return;
    }
    if (FilterScope::Active()) {
        Record(fd, FdState::Own);
    } else {
        Forget(fd);
    }
}

bool Permit(int fd, FdState state, Checks checks) {
    if (!IsTracked(state) || FilterScope::Active()) {
        return true;
    }
    FilterScope scope;
    const Verdict verdict = state == FdState::Refused ? Verdict::RefuseQuietly : Evaluate(checks);
    if (verdict == Verdict::Pass) {
        return true;
    }
    if (!StillInternetSocket(fd)) {
        Record(fd, FdState::Unknown);
        return true;
    }
    if (verdict == Verdict::Refuse) {
        Next().shutdown(fd, SHUT_RDWR);
        Record(fd, FdState::Refused);
    }
    scope.SetErrno(EACCES);
    return false;
}

int AdmitNewSocket(int fd) {
    Record(fd, FdState::Tracked);
    if (FilterScope::Active()) {
        return fd;
    }
    FilterScope scope;
    if (Evaluate(Checks::Timetable) == Verdict::Pass) {
        return fd;
    }
    Record(fd, FdState::Unknown);
    Next().close(fd);
    scope.SetErrno(EACCES);
    return -1;
}

}  // namespace zen::filter
