// The calls that move data: sends are checked before, receives after. Stream data (send,
// recv and the plain read/write family) counts towards the daily limit; datagram calls are
// held to the timetable only. Plain reads and writes never ask the kernel what a descriptor
// is, so that they cost one table look-up in every process.
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include "filter/guarded_call.h"
#include "filter/next_calls.h"

using namespace zen::filter;

ZEN_HOOK ssize_t send(int fd, const void* data, size_t size, int flags) {
    return CheckedBefore(fd, true, Checks::DailyThenTimetable,
                         [&] { return Next().send(fd, data, size, flags); });
}

ZEN_HOOK ssize_t sendto(int fd, const void* data, size_t size, int flags, const sockaddr* to,
                        socklen_t length) {
    return CheckedBefore(fd, true, Checks::Timetable,
                         [&] { return Next().sendto(fd, data, size, flags, to, length); });
}

ZEN_HOOK ssize_t sendmsg(int fd, const msghdr* message, int flags) {
    return CheckedBefore(fd, true, Checks::Timetable,
                         [&] { return Next().sendmsg(fd, message, flags); });
}

ZEN_HOOK int sendmmsg(int fd, mmsghdr* messages, unsigned count, int flags) {
    return CheckedBefore(fd, true, Checks::Timetable,
                         [&] { return Next().sendmmsg(fd, messages, count, flags); });
}

ZEN_HOOK ssize_t recv(int fd, void* data, size_t size, int flags) {
    return CheckedAfter(fd, true, Checks::DailyThenTimetable,
                        [&] { return Next().recv(fd, data, size, flags); });
}

ZEN_HOOK ssize_t __recv_chk(int fd, void* data, size_t size, size_t room, int flags) {
    return CheckedAfter(fd, true, Checks::DailyThenTimetable,
                        [&] { return Next().recv_chk(fd, data, size, room, flags); });
}

ZEN_HOOK ssize_t recvfrom(int fd, void* data, size_t size, int flags, sockaddr* from,
                          socklen_t* length) {
    return CheckedAfter(fd, true, Checks::Timetable,
                        [&] { return Next().recvfrom(fd, data, size, flags, from, length); });
}

ZEN_HOOK ssize_t __recvfrom_chk(int fd, void* data, size_t size, size_t room, int flags,
                                sockaddr* from, socklen_t* length) {
    return CheckedAfter(fd, true, Checks::Timetable, [&] {
        return Next().recvfrom_chk(fd, data, size, room, flags, from, length);
    });
}

ZEN_HOOK ssize_t recvmsg(int fd, msghdr* message, int flags) {
    return CheckedAfter(fd, true, Checks::Timetable,
                        [&] { return Next().recvmsg(fd, message, flags); });
}

ZEN_HOOK int recvmmsg(int fd, mmsghdr* messages, unsigned count, int flags,
                      struct timespec* timeout) {
    return CheckedAfter(fd, true, Checks::Timetable,
                        [&] { return Next().recvmmsg(fd, messages, count, flags, timeout); });
}

ZEN_HOOK ssize_t read(int fd, void* data, size_t size) {
    return CheckedAfter(fd, false, Checks::DailyThenTimetable,
                        [&] { return Next().read(fd, data, size); });
}

ZEN_HOOK ssize_t __read_chk(int fd, void* data, size_t size, size_t room) {
    return CheckedAfter(fd, false, Checks::DailyThenTimetable,
                        [&] { return Next().read_chk(fd, data, size, room); });
}

ZEN_HOOK ssize_t write(int fd, const void* data, size_t size) {
    return CheckedBefore(fd, false, Checks::DailyThenTimetable,
                         [&] { return Next().write(fd, data, size); });
}

ZEN_HOOK ssize_t readv(int fd, const iovec* vectors, int count) {
    return CheckedAfter(fd, false, Checks::DailyThenTimetable,
                        [&] { return Next().readv(fd, vectors, count); });
}

ZEN_HOOK ssize_t writev(int fd, const iovec* vectors, int count) {
    return CheckedBefore(fd, false, Checks::DailyThenTimetable,
                         [&] { return Next().writev(fd, vectors, count); });
}
