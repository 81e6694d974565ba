#include "filter/next_calls.h"

#include <dlfcn.h>

#include <atomic>

namespace zen::filter {
namespace {

NextCalls next;
std::atomic<bool> resolved{false};

template <typename Function>
void Resolve(Function& function, const char* name) {
    function = reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

void ResolveAll() {
    Resolve(next.socket, "socket");
    Resolve(next.connect, "connect");
    Resolve(next.listen, "listen");
    Resolve(next.accept, "accept");
    Resolve(next.accept4, "accept4");
    Resolve(next.shutdown, "shutdown");
    Resolve(next.send, "send");
    Resolve(next.sendto, "sendto");
    Resolve(next.sendmsg, "sendmsg");
    Resolve(next.sendmmsg, "sendmmsg");
    Resolve(next.recv, "recv");
    Resolve(next.recvfrom, "recvfrom");
    Resolve(next.recvmsg, "recvmsg");
    Resolve(next.recvmmsg, "recvmmsg");
    Resolve(next.read, "read");
    Resolve(next.write, "write");
    Resolve(next.readv, "readv");
    Resolve(next.writev, "writev");
    Resolve(next.read_chk, "__read_chk");
    Resolve(next.recv_chk, "__recv_chk");
    Resolve(next.recvfrom_chk, "__recvfrom_chk");
    Resolve(next.open, "open");
    Resolve(next.open64, "open64");
    Resolve(next.openat, "openat");
    Resolve(next.openat64, "openat64");
    Resolve(next.close, "close");
    Resolve(next.close_range, "close_range");
    Resolve(next.closefrom, "closefrom");
    Resolve(next.dup, "dup");
    Resolve(next.dup2, "dup2");
    Resolve(next.dup3, "dup3");
    Resolve(next.fcntl, "fcntl");
    Resolve(next.fcntl64, "fcntl64");
    Resolve(next.sendfile, "sendfile");
    Resolve(next.sendfile64, "sendfile64");
    Resolve(next.splice, "splice");
    Resolve(next.aio_read, "aio_read");
    Resolve(next.aio_write, "aio_write");
    Resolve(next.lio_listio, "lio_listio");
    Resolve(next.aio_suspend, "aio_suspend");
    Resolve(next.aio_cancel, "aio_cancel");
    resolved.store(true, std::memory_order_release);
}

// Resolved while the loader runs constructors, so that no hook ever calls dlsym later (it
// is not safe in a signal handler).
__attribute__((constructor)) void ResolveAtLoad() {
    ResolveAll();
}

}  // namespace

const NextCalls& Next() {
    if (!resolved.load(std::memory_order_acquire)) {
        ResolveAll();
    }
    return next;
}

}  // namespace zen::filter
