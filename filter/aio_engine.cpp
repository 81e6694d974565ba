#include "filter/aio_engine.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <new>

#include "filter/check_points.h"
#include "filter/next_calls.h"

namespace zen::filter::aio {
namespace {

// What a list of operations tells when its last member is done (lio_listio, LIO_NOWAIT).
struct ListGroup {
    std::atomic<int> remaining;
    sigevent notify;
};

enum class SlotState { Free, Pending, Running };

struct OperationSlot {
    unsigned signature;  // kSignature while in use
    Kind kind;
    SlotState state;
    int fd;
    aiocb* request;   // the caller's control block: written at completion, never handed on
    sigevent notify;  // copied, as the caller may reuse its block once it completes
    size_t sent;      // a send goes on until the whole buffer is out, as a blocking write does
    ListGroup* group;
    OperationSlot* next;  // free list, or the queue of live operations
};

struct Engine {
    pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
    pthread_cond_t completed;
    OperationSlot slots[kSlots];
    OperationSlot* free = nullptr;
    // Every operation not yet completed, in the order it was started: pending ones wait for
    // their socket, running ones are being carried out.
    OperationSlot* queueHead = nullptr;
    OperationSlot* queueTail = nullptr;
    // The worker's wake-up: a pipe, whose inode tells it apart from whatever later takes its
    // numbers (every eventfd shares one).
    int wake = -1;
    int wakeWrite = -1;
    ino_t wakeInode = 0;
    bool started = false;
    bool stopping = false;
};

// Zero pages until the first operation: a process that never uses AIO pays nothing for it.
Engine engine;

void ResetPool() {
    engine.free = nullptr;
    for (int i = kSlots - 1; i >= 0; --i) {
        engine.slots[i] = OperationSlot{};
        engine.slots[i].next = engine.free;
        engine.free = &engine.slots[i];
    }
    engine.queueHead = engine.queueTail = nullptr;
}

void AppendLocked(OperationSlot* slot) {
    slot->next = nullptr;
    (engine.queueTail != nullptr ? engine.queueTail->next : engine.queueHead) = slot;
    engine.queueTail = slot;
}

void UnlinkLocked(OperationSlot* slot) {
    OperationSlot* previous = nullptr;
    for (OperationSlot** link = &engine.queueHead; *link != nullptr; link = &(*link)->next) {
        if (*link == slot) {
            *link = slot->next;
            if (engine.queueTail == slot) {
                engine.queueTail = previous;
            }
            return;
        }
        previous = *link;
    }
}

// Whether an earlier operation of the same kind is live on the socket: operations of one
// kind on one socket are carried out in the order they were started, or a stream's bytes
// would change order.
bool QueuedBehindLocked(const OperationSlot* slot) {
    for (const OperationSlot* each = engine.queueHead; each != slot; each = each->next) {
        if (each->fd == slot->fd && each->kind == slot->kind) {
            return true;
        }
    }
    return false;
}

void WakeWorker() {
    const char byte = 1;
    Next().write(engine.wakeWrite, &byte, 1);
}

bool StillOurWakeUp() {
    struct stat status {};
    return ::fstat(engine.wake, &status) == 0 && status.st_ino == engine.wakeInode &&
           ::fstat(engine.wakeWrite, &status) == 0 && status.st_ino == engine.wakeInode;
}

struct ThreadNotice {
    void (*function)(sigval);
    sigval value;
};

void* RunNotice(void* argument) {
    const ThreadNotice notice = *static_cast<ThreadNotice*>(argument);
    std::free(argument);
    notice.function(notice.value);
    return nullptr;
}

void SendSignal(const sigevent& notify, bool toThread) {
    siginfo_t info{};
    info.si_signo = notify.sigev_signo;
    info.si_code = SI_ASYNCIO;
    info.si_pid = ::getpid();
    info.si_uid = ::getuid();
    info.si_value = notify.sigev_value;
    if (toThread) {
        ::syscall(SYS_rt_tgsigqueueinfo, ::getpid(), notify._sigev_un._tid, notify.sigev_signo,
                  &info);
    } else {
        ::syscall(SYS_rt_sigqueueinfo, ::getpid(), notify.sigev_signo, &info);
    }
}

// Tells the caller the way its sigevent asks for.
void Notify(const sigevent& notify) {
    switch (notify.sigev_notify) {
        case SIGEV_SIGNAL:
            SendSignal(notify, false);
            break;
        case SIGEV_THREAD_ID:
            SendSignal(notify, true);
            break;
        case SIGEV_THREAD: {
            auto* notice = static_cast<ThreadNotice*>(std::malloc(sizeof(ThreadNotice)));
            if (notice == nullptr) {
                break;
            }
            *notice = {notify.sigev_notify_function, notify.sigev_value};
            pthread_t thread;
            if (::pthread_create(&thread, notify.sigev_notify_attributes, RunNotice, notice) != 0) {
                std::free(notice);
                break;
            }
            ::pthread_detach(thread);
            break;
        }
        default:
            break;
    }
}

void LeaveGroup(ListGroup* group) {
    if (group != nullptr && group->remaining.fetch_sub(1) == 1) {
        Notify(group->notify);
        group->~ListGroup();
        std::free(group);
    }
}

void Complete(OperationSlot* slot, ssize_t result, int error) {
    const sigevent notify = slot->notify;
    ListGroup* group = slot->group;
    aiocb* request = slot->request;
    ::pthread_mutex_lock(&engine.lock);
    UnlinkLocked(slot);
    request->__return_value = result;
    __atomic_store_n(&request->__error_code, error, __ATOMIC_RELEASE);
    slot->signature = 0;
    slot->state = SlotState::Free;
    slot->group = nullptr;
    slot->next = engine.free;
    engine.free = slot;
    ::pthread_cond_broadcast(&engine.completed);
    ::pthread_mutex_unlock(&engine.lock);
    Notify(notify);
    LeaveGroup(group);
}

// Carries an operation out on a ready socket; false when it would still block.
bool Execute(OperationSlot* slot) {
    const FdState state = StateOf(slot->fd, false);
    void* buffer = const_cast<void*>(slot->request->aio_buf);
    const size_t size = slot->request->aio_nbytes;
    ssize_t result = -1;
    if (slot->kind == kSend) {
        if (!Permit(slot->fd, state, Checks::DailyThenTimetable)) {
            Complete(slot, -1, EACCES);
            return true;
        }
        result = Next().send(slot->fd, static_cast<char*>(buffer) + slot->sent, size - slot->sent,
                             MSG_DONTWAIT | MSG_NOSIGNAL);
        if (result >= 0) {
            slot->sent += static_cast<size_t>(result);
            if (slot->sent < size) {
                return false;
            }
            result = static_cast<ssize_t>(slot->sent);
        } else if (slot->sent > 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            result = static_cast<ssize_t>(slot->sent);  // what went out before the error
        }
    } else {
        if (state == FdState::Refused && !Permit(slot->fd, state, Checks::DailyThenTimetable)) {
            Complete(slot, -1, EACCES);
            return true;
        }
        result = Next().recv(slot->fd, buffer, size, MSG_DONTWAIT);
        if (result >= 0 && !Permit(slot->fd, state, Checks::DailyThenTimetable)) {
            Complete(slot, -1, EACCES);
            return true;
        }
    }
    if (result < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        return false;
    }
    Complete(slot, result, result < 0 ? errno : 0);
    return true;
}

short EventsOf(const OperationSlot* slot) {
    return slot->kind == kSend ? POLLOUT : POLLIN;
}

// Where `fd` stands among the watched sockets (entry 0 is the wake-up), `count` when it is not.
nfds_t WatchedIndex(const pollfd* watched, nfds_t count, int fd) {
    nfds_t at = 1;
    while (at < count && watched[at].fd != fd) {
        ++at;
    }
    return at;
}

// Under the lock: the first pending operation of each kind and socket whose socket is ready.
int TakeReadyLocked(const pollfd* watched, nfds_t count, OperationSlot** batch) {
    int taken = 0;
    for (OperationSlot* slot = engine.queueHead; slot != nullptr; slot = slot->next) {
        if (slot->state != SlotState::Pending) {
            continue;
        }
        const nfds_t at = WatchedIndex(watched, count, slot->fd);
        const short revents = at < count ? watched[at].revents : 0;
        if ((revents & (EventsOf(slot) | POLLERR | POLLHUP | POLLNVAL)) != 0 &&
            !QueuedBehindLocked(slot)) {
            slot->state = SlotState::Running;
            batch[taken++] = slot;
        }
    }
    return taken;
}

// The one worker: waits until a pending operation's socket is ready, then carries it out.
void* Worker(void*) {
    sigset_t all;
    ::sigfillset(&all);
    ::pthread_sigmask(SIG_BLOCK, &all, nullptr);
    pollfd watched[kSlots + 1];
    OperationSlot* batch[kSlots];
    for (;;) {
        nfds_t count = 1;
        ::pthread_mutex_lock(&engine.lock);
        if (engine.stopping) {
            ::pthread_mutex_unlock(&engine.lock);
            return nullptr;
        }
        watched[0] = {engine.wake, POLLIN, 0};
        for (OperationSlot* slot = engine.queueHead; slot != nullptr; slot = slot->next) {
            if (slot->state != SlotState::Pending) {
                continue;
            }
            const nfds_t at = WatchedIndex(watched, count, slot->fd);
            if (at == count) {
                watched[count++] = {slot->fd, 0, 0};
            }
            watched[at].events |= EventsOf(slot);
        }
        ::pthread_mutex_unlock(&engine.lock);

        // At most a second: a wake-up the application closed under the worker is renewed, and
        // the worker looks at the new one no later than that.
        if (::poll(watched, count, 1000) <= 0) {
            continue;
        }
        ::pthread_mutex_lock(&engine.lock);
        if (watched[0].revents != 0 && watched[0].fd == engine.wake) {
            char drained[64];
            while (Next().read(engine.wake, drained, sizeof drained) > 0) {
            }
        }
        const int taken = TakeReadyLocked(watched, count, batch);
        ::pthread_mutex_unlock(&engine.lock);

        for (int i = 0; i < taken; ++i) {
            if (!Execute(batch[i])) {
                // Still in its place in the queue: it waits for the next readiness.
                ::pthread_mutex_lock(&engine.lock);
                batch[i]->state = SlotState::Pending;
                ::pthread_mutex_unlock(&engine.lock);
            }
        }
    }
}

// Under the lock: a new wake-up for the worker, marked as the filter's own.
bool MakeWakeUpLocked() {
    int ends[2];
    struct stat status {};
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        return false;
    }
    ::fstat(ends[0], &status);
    engine.wake = ends[0];
    engine.wakeWrite = ends[1];
    engine.wakeInode = status.st_ino;
    Record(engine.wake, FdState::Own);
    Record(engine.wakeWrite, FdState::Own);
    return true;
}

void CloseWakeUp() {
    for (int* end : {&engine.wake, &engine.wakeWrite}) {
        if (*end >= 0) {
            Forget(*end);
            Next().close(*end);
        }
        *end = -1;
    }
}

void InitCondition() {
    pthread_condattr_t attributes;
    ::pthread_condattr_init(&attributes);
    ::pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
    ::pthread_cond_init(&engine.completed, &attributes);
    ::pthread_condattr_destroy(&attributes);
}

void AfterForkInChild() {
    // The parent's operations are its own, and its worker does not exist here.
    engine.lock = PTHREAD_MUTEX_INITIALIZER;
    InitCondition();
    CloseWakeUp();
    engine.started = false;
}

// Under the lock: the pool, the wake-up and the worker, the first time they are needed.
bool StartLocked() {
    if (engine.started) {
        return true;
    }
    static bool prepared = false;
    if (!prepared) {
        ::pthread_atfork(nullptr, nullptr, AfterForkInChild);
        InitCondition();
        prepared = true;
    }
    ResetPool();
    if (!MakeWakeUpLocked()) {
        return false;
    }
    pthread_attr_t attributes;
    ::pthread_attr_init(&attributes);
    ::pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t worker;
    const bool started = ::pthread_create(&worker, &attributes, Worker, nullptr) == 0;
    ::pthread_attr_destroy(&attributes);
    if (!started) {
        CloseWakeUp();
        return false;
    }
    engine.started = true;
    return true;
}

int SubmitTo(aiocb* request, Kind kind, ListGroup* group) {
    ::pthread_mutex_lock(&engine.lock);
    OperationSlot* slot = StartLocked() ? engine.free : nullptr;
    if (slot == nullptr) {
        ::pthread_mutex_unlock(&engine.lock);
        errno = EAGAIN;
        return -1;
    }
    engine.free = slot->next;
    *slot = OperationSlot{};
    slot->signature = kSignature;
    slot->kind = kind;
    slot->state = SlotState::Running;
    slot->fd = request->aio_fildes;
    slot->request = request;
    slot->notify = request->aio_sigevent;
    slot->group = group;
    request->__return_value = 0;
    __atomic_store_n(&request->__error_code, EINPROGRESS, __ATOMIC_RELEASE);
    AppendLocked(slot);
    const bool behind = QueuedBehindLocked(slot);
    if (behind) {
        slot->state = SlotState::Pending;
    }
    ::pthread_mutex_unlock(&engine.lock);
    // Issued at once on the caller's thread; the worker takes over what would block.
    if (!behind) {
        const int saved = errno;
        const bool done = Execute(slot);
        errno = saved;
        if (done) {
            return 0;
        }
        ::pthread_mutex_lock(&engine.lock);
        slot->state = SlotState::Pending;
        ::pthread_mutex_unlock(&engine.lock);
    }
    WakeWorker();
    return 0;
}

// Under the lock: the slot of a control block in use.
OperationSlot* SlotOfLocked(const aiocb* request) {
    if (!engine.started) {
        return nullptr;
    }
    for (OperationSlot& slot : engine.slots) {
        if (slot.signature == kSignature && slot.request == request) {
            return &slot;
        }
    }
    return nullptr;
}

bool InProgress(const aiocb* request) {
    return __atomic_load_n(&request->__error_code, __ATOMIC_ACQUIRE) == EINPROGRESS;
}

timespec DeadlineAfter(const timespec* timeout) {
    timespec deadline{};
    ::clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += timeout->tv_sec;
    deadline.tv_nsec += timeout->tv_nsec;
    if (deadline.tv_nsec >= 1'000'000'000) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1'000'000'000;
    }
    return deadline;
}

bool Before(const timespec& a, const timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// Stops the worker at process exit without waiting for it: an exiting process never hangs on
// an operation that will not complete.
__attribute__((destructor)) void StopAtExit() {
    if (!engine.started) {
        return;
    }
    ::pthread_mutex_lock(&engine.lock);
    engine.stopping = true;
    ::pthread_mutex_unlock(&engine.lock);
    WakeWorker();
}

}  // namespace

void RenewWakeUp() {
    ::pthread_mutex_lock(&engine.lock);
    // The old numbers are left alone: closed, or the application's now.
    const bool lost = engine.started && !StillOurWakeUp();
    if (lost && MakeWakeUpLocked()) {
        WakeWorker();
    }
    ::pthread_mutex_unlock(&engine.lock);
}

int Submit(aiocb* request, Kind kind) {
    return SubmitTo(request, kind, nullptr);
}

bool Owns(const aiocb* request) {
    ::pthread_mutex_lock(&engine.lock);
    const bool owned = SlotOfLocked(request) != nullptr;
    ::pthread_mutex_unlock(&engine.lock);
    return owned;
}

int Suspend(const aiocb* const list[], int count, const timespec* timeout) {
    const timespec deadline = timeout != nullptr ? DeadlineAfter(timeout) : timespec{};
    ::pthread_mutex_lock(&engine.lock);
    for (;;) {
        bool ours = false;
        bool theirs = false;
        for (int i = 0; i < count; ++i) {
            if (list[i] == nullptr) {
                continue;
            }
            if (!InProgress(list[i])) {
                ::pthread_mutex_unlock(&engine.lock);
                return 0;
            }
            (SlotOfLocked(list[i]) != nullptr ? ours : theirs) = true;
        }
        if (!ours) {
            ::pthread_mutex_unlock(&engine.lock);
            return theirs ? Next().aio_suspend(list, count, timeout) : 0;
        }
        // The C library's operations of a mixed list are looked at every millisecond.
        timespec until = deadline;
        if (theirs) {
            const timespec millisecond{0, 1'000'000};
            const timespec soon = DeadlineAfter(&millisecond);
            if (timeout == nullptr || Before(soon, until)) {
                until = soon;
            }
        }
        const int waited = timeout == nullptr && !theirs
                               ? ::pthread_cond_wait(&engine.completed, &engine.lock)
                               : ::pthread_cond_timedwait(&engine.completed, &engine.lock, &until);
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        if (waited == ETIMEDOUT && timeout != nullptr && !Before(now, deadline)) {
            ::pthread_mutex_unlock(&engine.lock);
            errno = EAGAIN;
            return -1;
        }
    }
}

int Cancel(int fd, aiocb* request) {
    OperationSlot* cancelled[kSlots];
    int count = 0;
    bool running = false;
    ::pthread_mutex_lock(&engine.lock);
    for (OperationSlot* slot = engine.queueHead; slot != nullptr; slot = slot->next) {
        if (slot->fd != fd || (request != nullptr && slot->request != request)) {
            continue;
        }
        if (slot->state == SlotState::Running) {
            running = true;
        } else {
            slot->state = SlotState::Running;  // taken from the worker, completed below
            cancelled[count++] = slot;
        }
    }
    ::pthread_mutex_unlock(&engine.lock);
    for (int i = 0; i < count; ++i) {
        Complete(cancelled[i], -1, ECANCELED);
    }
    if (running) {
        return AIO_NOTCANCELED;
    }
    return count > 0 ? AIO_CANCELED : AIO_ALLDONE;
}

int SubmitList(int mode, aiocb* const list[], int count, sigevent* notify) {
    ListGroup* group = nullptr;
    if (mode == LIO_NOWAIT && notify != nullptr && notify->sigev_notify != SIGEV_NONE) {
        void* memory = std::malloc(sizeof(ListGroup));
        if (memory == nullptr) {
            errno = EAGAIN;
            return -1;
        }
        // One count for this call, so the list is not done before all of it is submitted.
        group = new (memory) ListGroup{{1}, *notify};
    }
    bool failed = false;
    int failure = 0;
    for (int i = 0; i < count; ++i) {
        aiocb* member = list[i];
        if (member == nullptr || member->aio_lio_opcode == LIO_NOP) {
            continue;
        }
        const bool write = member->aio_lio_opcode == LIO_WRITE;
        int submitted = 0;
        if (IsTracked(StateOf(member->aio_fildes, true))) {
            if (group != nullptr) {
                group->remaining.fetch_add(1);
            }
            submitted = SubmitTo(member, write ? kSend : kReceive, group);
            if (submitted != 0) {
                LeaveGroup(group);
                member->__return_value = -1;
                __atomic_store_n(&member->__error_code, EAGAIN, __ATOMIC_RELEASE);
            }
        } else {
            submitted = write ? Next().aio_write(member) : Next().aio_read(member);
        }
        if (submitted != 0) {
            failed = true;
            failure = errno;
        }
    }
    LeaveGroup(group);
    if (mode == LIO_WAIT) {
        for (int i = 0; i < count; ++i) {
            const aiocb* member = list[i];
            if (member == nullptr || member->aio_lio_opcode == LIO_NOP) {
                continue;
            }
            while (InProgress(member)) {
                Suspend(&member, 1, nullptr);
            }
            failed |= __atomic_load_n(&member->__error_code, __ATOMIC_ACQUIRE) != 0;
        }
    }
    if (failed) {
        errno = mode == LIO_WAIT ? EIO : failure;
        return -1;
    }
    return 0;
}

}  // namespace zen::filter::aio
