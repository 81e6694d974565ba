#pragma once

#include <aio.h>
#include <time.h>

namespace zen::filter::aio {

// Asynchronous operations on tracked sockets. The C library serves POSIX AIO from threads of
// its own with internal calls no preloaded library sees, so the caller's control block is never
// handed to it: the engine takes a slot from a fixed pool and issues the operation at once on
// the caller's thread; what would block waits in a queue that one worker thread carries out
// when the socket is ready. The filter's checks run where the blocking calls run them (before
// a send, after a receive). The caller sees the outcome in its control block
// (aio_error, aio_return) and is told through its own sigevent.

inline constexpr unsigned kSignature = 0xBEADFACE;
inline constexpr int kSlots = 999;

enum Kind : unsigned {
    kReceive = 1,
    kSend = 4,
};

// Starts an operation on a tracked socket: 0, or -1 with EAGAIN when the pool is exhausted.
int Submit(aiocb* request, Kind kind);

// lio_listio for lists that hold tracked sockets (the others go to the C library one by
// one). -1 with errno as lio_listio sets it.
int SubmitList(int mode, aiocb* const list[], int count, sigevent* notify);

// Whether the control block is one of the engine's operations, pending or not yet returned.
bool Owns(const aiocb* request);

// aio_suspend over the engine's operations (and the C library's, polled, in a mixed list).
int Suspend(const aiocb* const list[], int count, const timespec* timeout);

// aio_cancel for a tracked socket: what has not started is cancelled.
int Cancel(int fd, aiocb* request);

// After the application closed numbers of the filter's own: when the worker's wake-up was
// among them, it gets a new one (the old number may be the application's file by now).
void RenewWakeUp();

}  // namespace zen::filter::aio
