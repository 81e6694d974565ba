#pragma once

#include <aio.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/uio.h>

namespace zen::filter {

// The next provider of each interposed call: the C library's own function, found with
// dlsym(RTLD_NEXT) once when the library is loaded (a hook that runs before that, from an
// earlier library's constructor, finds them then).
struct NextCalls {
    int (*socket)(int, int, int);
    int (*connect)(int, const sockaddr*, socklen_t);
    int (*listen)(int, int);
    int (*accept)(int, sockaddr*, socklen_t*);
    int (*accept4)(int, sockaddr*, socklen_t*, int);
    int (*shutdown)(int, int);
    ssize_t (*send)(int, const void*, size_t, int);
    ssize_t (*sendto)(int, const void*, size_t, int, const sockaddr*, socklen_t);
    ssize_t (*sendmsg)(int, const msghdr*, int);
    int (*sendmmsg)(int, mmsghdr*, unsigned, int);
    ssize_t (*recv)(int, void*, size_t, int);
    ssize_t (*recvfrom)(int, void*, size_t, int, sockaddr*, socklen_t*);
    ssize_t (*recvmsg)(int, msghdr*, int);
    int (*recvmmsg)(int, mmsghdr*, unsigned, int, struct timespec*);
    ssize_t (*read)(int, void*, size_t);
    ssize_t (*write)(int, const void*, size_t);
    ssize_t (*readv)(int, const iovec*, int);
    ssize_t (*writev)(int, const iovec*, int);
    ssize_t (*read_chk)(int, void*, size_t, size_t);
    ssize_t (*recv_chk)(int, void*, size_t, size_t, int);
    ssize_t (*recvfrom_chk)(int, void*, size_t, size_t, int, sockaddr*, socklen_t*);
    int (*open)(const char*, int, ...);
    int (*open64)(const char*, int, ...);
    int (*openat)(int, const char*, int, ...);
    int (*openat64)(int, const char*, int, ...);
    int (*close)(int);
    int (*close_range)(unsigned, unsigned, int);
    void (*closefrom)(int);
    int (*dup)(int);
    int (*dup2)(int, int);
    int (*dup3)(int, int, int);
    int (*fcntl)(int, int, ...);
    int (*fcntl64)(int, int, ...);
    ssize_t (*sendfile)(int, int, off_t*, size_t);
    ssize_t (*sendfile64)(int, int, off64_t*, size_t);
    ssize_t (*splice)(int, off64_t*, int, off64_t*, size_t, unsigned);
    int (*aio_read)(aiocb*);
    int (*aio_write)(aiocb*);
    int (*lio_listio)(int, aiocb* const[], int, sigevent*);
    int (*aio_suspend)(const aiocb* const[], int, const struct timespec*);
    int (*aio_cancel)(int, aiocb*);
};

const NextCalls& Next();

}  // namespace zen::filter
