// POSIX AIO: operations on tracked sockets go to the filter's engine, everything else to the
// C library unchanged, at the cost of one look-up. aio_error and aio_return need no hook: the
// engine keeps the control block's own error and result fields, which they read.
#include <aio.h>

#include "filter/aio_engine.h"
#include "filter/guarded_call.h"
#include "filter/next_calls.h"

using namespace zen::filter;

namespace {

bool OnTrackedSocket(const aiocb* request) {
    return request != nullptr && IsTracked(StateOf(request->aio_fildes, true));
}

}  // namespace

ZEN_HOOK int aio_read(aiocb* request) {
    return OnTrackedSocket(request) ? aio::Submit(request, aio::kReceive)
                                    : Next().aio_read(request);
}

ZEN_HOOK int aio_write(aiocb* request) {
    return OnTrackedSocket(request) ? aio::Submit(request, aio::kSend) : Next().aio_write(request);
}

ZEN_HOOK int lio_listio(int mode, aiocb* const list[], int count, sigevent* notify) {
    return aio::SubmitList(mode, list, count, notify);
}

ZEN_HOOK int aio_suspend(const aiocb* const list[], int count, const struct timespec* timeout) {
    return aio::Suspend(list, count, timeout);
}

ZEN_HOOK int aio_cancel(int fd, aiocb* request) {
    return IsTracked(StateOf(fd, true)) ? aio::Cancel(fd, request) : Next().aio_cancel(fd, request);
}

// The large-file names: the same layouts on 64-bit systems.
static_assert(sizeof(aiocb64) == sizeof(aiocb));

ZEN_HOOK int aio_read64(aiocb64* request) {
    return aio_read(reinterpret_cast<aiocb*>(request));
}

ZEN_HOOK int aio_write64(aiocb64* request) {
    return aio_write(reinterpret_cast<aiocb*>(request));
}

ZEN_HOOK int lio_listio64(int mode, aiocb64* const list[], int count, sigevent* notify) {
    return lio_listio(mode, reinterpret_cast<aiocb* const*>(list), count, notify);
}

ZEN_HOOK int aio_suspend64(const aiocb64* const list[], int count, const struct timespec* timeout) {
    return aio_suspend(reinterpret_cast<const aiocb* const*>(list), count, timeout);
}

ZEN_HOOK int aio_cancel64(int fd, aiocb64* request) {
    return aio_cancel(fd, reinterpret_cast<aiocb*>(request));
}
