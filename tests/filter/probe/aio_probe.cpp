// A program the AIO tests run through libzensp.so: it opens a loopback TCP pair of its own
// (both ends tracked) and prints one line per step: "ok ..." or "error ...".
#include <aio.h>
#include <fcntl.h>
#include <semaphore.h>
#include <signal.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "loopback_pair.h"

namespace {

const char* ErrorName(int error) {
    switch (error) {
        case 0:
            return "0";
        case EACCES:
            return "EACCES";
        case EAGAIN:
            return "EAGAIN";
        case EINPROGRESS:
            return "EINPROGRESS";
        case ECANCELED:
            return "ECANCELED";
        default:
            return strerror(error);
    }
}

sem_t threadNotified;

void OnThread(sigval) {
    sem_post(&threadNotified);
}

aiocb Request(int fd, void* buffer, size_t size, int notify) {
    aiocb request{};
    request.aio_fildes = fd;
    request.aio_buf = buffer;
    request.aio_nbytes = size;
    request.aio_sigevent.sigev_notify = notify;
    request.aio_sigevent.sigev_signo = SIGRTMIN;
    request.aio_sigevent.sigev_notify_function = OnThread;
    return request;
}

// Waits for an operation the way its notification says, then gives its outcome.
std::string Outcome(aiocb& request) {
    switch (request.aio_sigevent.sigev_notify) {
        case SIGEV_SIGNAL: {
            sigset_t set;
            sigemptyset(&set);
            sigaddset(&set, SIGRTMIN);
            siginfo_t info{};
            timespec limit{10, 0};
            if (sigtimedwait(&set, &info, &limit) != SIGRTMIN || info.si_code != SI_ASYNCIO) {
                return "no signal";
            }
            break;
        }
        case SIGEV_THREAD: {
            timespec limit{};
            clock_gettime(CLOCK_REALTIME, &limit);
            limit.tv_sec += 10;
            if (sem_timedwait(&threadNotified, &limit) != 0) {
                return "no thread";
            }
            break;
        }
        default: {
            const aiocb* list[] = {&request};
            timespec limit{10, 0};
            while (aio_error(&request) == EINPROGRESS) {
                if (aio_suspend(list, 1, &limit) != 0) {
                    return "suspend " + std::string(ErrorName(errno));
                }
            }
        }
    }
    const int error = aio_error(&request);
    const ssize_t result = aio_return(&request);
    return error != 0 ? ErrorName(error) : std::to_string(result);
}

const char* ModeName(int notify) {
    return notify == SIGEV_NONE ? "none" : notify == SIGEV_SIGNAL ? "signal" : "thread";
}

// One write and one read of "ping" in each way of notification.
void RoundTrips(const zen::test::LoopbackPair& pair) {
    for (const int notify : {SIGEV_NONE, SIGEV_SIGNAL, SIGEV_THREAD}) {
        char sent[] = "ping";
        char got[5] = {};
        aiocb write = Request(pair.client, sent, 4, notify);
        aiocb read = Request(pair.server, got, 4, notify);
        const int submitted = aio_write(&write);
        const std::string wrote = submitted == 0 ? Outcome(write) : ErrorName(errno);
        const int reading = aio_read(&read);
        const std::string readResult = reading == 0 ? Outcome(read) : ErrorName(errno);
        std::cout << ModeName(notify) << " write " << wrote << " read " << readResult
                  << (readResult == "4" ? " " + std::string(got) : "") << std::endl;
    }
}

// Waits for the test's go, then until the rules refuse this process's sends.
bool AfterRulesChange(const std::function<bool()>& refused) {
    std::cout << "ready" << std::endl;
    std::string line;
    std::getline(std::cin, line);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (refused()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::cout << "never refused" << std::endl;
    return false;
}

int Notify() {
    const zen::test::LoopbackPair pair = zen::test::OpenLoopbackPair();
    RoundTrips(pair);
    if (AfterRulesChange([&] {
            char byte = 'x';
            aiocb write = Request(pair.client, &byte, 1, SIGEV_NONE);
            return aio_write(&write) == 0 && Outcome(write) == "EACCES";
        })) {
        RoundTrips(pair);
    }
    return 0;
}

int Exhaust() {
    const zen::test::LoopbackPair pair = zen::test::OpenLoopbackPair();
    static char buffers[1000][4];
    static aiocb requests[1000];
    int submitted = 0;
    for (int i = 0; i < 999; ++i) {
        requests[i] = Request(pair.server, buffers[i], 4, SIGEV_NONE);
        submitted += aio_read(&requests[i]) == 0 ? 1 : 0;
    }
    std::cout << "submitted " << submitted << std::endl;
    requests[999] = Request(pair.server, buffers[999], 4, SIGEV_NONE);
    const auto start = std::chrono::steady_clock::now();
    const int last = aio_read(&requests[999]);
    const auto took = std::chrono::steady_clock::now() - start;
    std::cout << "1000th " << (last == 0 ? "0" : ErrorName(errno))
              << (took < std::chrono::milliseconds(100) ? " at once" : " late") << std::endl;
    std::cout << "pending " << ErrorName(aio_error(&requests[0])) << std::endl;
    std::cout << "cancel "
              << (aio_cancel(pair.server, nullptr) == AIO_CANCELED ? "AIO_CANCELED" : "?") << " "
              << ErrorName(aio_error(&requests[998])) << std::endl;
    // The process ends with an operation still pending: the exit must not wait for it.
    requests[0] = Request(pair.server, buffers[0], 4, SIGEV_NONE);
    std::cout << "left pending "
              << ErrorName(aio_read(&requests[0]) == 0 ? aio_error(&requests[0]) : errno)
              << std::endl;
    return 0;
}

int List() {
    const zen::test::LoopbackPair pair = zen::test::OpenLoopbackPair();
    constexpr int kCount = 9;
    const std::string sent = "abcdefghijklmnopqrstuvwxyz0123456789";
    char got[kCount][4];
    aiocb reads[kCount];
    aiocb* list[kCount];
    for (int i = 0; i < kCount; ++i) {
        reads[i] = Request(pair.server, got[i], 4, SIGEV_NONE);
        reads[i].aio_lio_opcode = LIO_READ;
        list[i] = &reads[i];
    }
    if (::write(pair.client, sent.data(), sent.size()) != static_cast<ssize_t>(sent.size())) {
        return 1;
    }
    const int waited = lio_listio(LIO_WAIT, list, kCount, nullptr);
    std::string joined;
    for (int i = 0; i < kCount; ++i) {
        joined.append(got[i], static_cast<size_t>(aio_return(&reads[i])));
    }
    std::cout << "lio wait " << waited << " " << (joined == sent ? "all bytes" : joined)
              << std::endl;

    // Nine writes told by one thread when the last is done.
    char byte[kCount];
    aiocb writes[kCount];
    for (int i = 0; i < kCount; ++i) {
        byte[i] = static_cast<char>('A' + i);
        writes[i] = Request(pair.client, &byte[i], 1, SIGEV_NONE);
        writes[i].aio_lio_opcode = LIO_WRITE;
        list[i] = &writes[i];
    }
    sigevent whole{};
    whole.sigev_notify = SIGEV_THREAD;
    whole.sigev_notify_function = OnThread;
    const int started = lio_listio(LIO_NOWAIT, list, kCount, &whole);
    timespec limit{};
    clock_gettime(CLOCK_REALTIME, &limit);
    limit.tv_sec += 10;
    const bool told = sem_timedwait(&threadNotified, &limit) == 0;
    int written = 0;
    for (aiocb& write : writes) {
        written += aio_error(&write) == 0 ? static_cast<int>(aio_return(&write)) : 0;
    }
    std::cout << "lio nowait " << started << " " << (told ? "told" : "not told") << " " << written
              << std::endl;
    return 0;
}

int SendFile(const char* path) {
    const zen::test::LoopbackPair pair = zen::test::OpenLoopbackPair();
    const auto send = [&] {
        const int file = ::open(path, O_RDONLY);
        const ssize_t sent = ::sendfile(pair.client, file, nullptr, 64);
        const int error = errno;
        ::close(file);
        char sink[64];
        if (sent > 0) {
            ::recv(pair.server, sink, sizeof sink, 0);
        }
        return sent >= 0 ? std::to_string(sent) : std::string(ErrorName(error));
    };
    std::cout << "sendfile " << send() << std::endl;
    std::string last;
    if (AfterRulesChange([&] { return (last = send()) == "EACCES"; })) {
        std::cout << "sendfile " << last << std::endl;
    }
    return 0;
}

// Closes every number but its sockets while an operation is pending (the engine's wake-up
// among them), then opens files that take those numbers: the engine must neither write into
// nor read from them, and must go on working.
int CloseAll() {
    const zen::test::LoopbackPair pair = zen::test::OpenLoopbackPair();
    char got[5] = {};
    aiocb read = Request(pair.server, got, 4, SIGEV_NONE);
    if (aio_read(&read) != 0) {
        return 1;
    }
    for (int fd = 3; fd < 1024; ++fd) {
        if (fd != pair.client && fd != pair.server) {
            ::close(fd);
        }
    }
    std::vector<int> files;
    for (int i = 0; i < 8; ++i) {
        const std::string name =
            "/tmp/zen-probe-" + std::to_string(getpid()) + "-" + std::to_string(i);
        files.push_back(::open(name.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600));
        ::unlink(name.c_str());
        if (::pwrite(files.back(), "data", 4, 0) != 4) {
            return 1;
        }
    }
    char sent[] = "ping";
    aiocb write = Request(pair.client, sent, 4, SIGEV_NONE);
    const std::string wrote = aio_write(&write) == 0 ? Outcome(write) : ErrorName(errno);
    std::cout << "write " << wrote << " read " << Outcome(read) << " " << got << std::endl;
    // A second round, submitted after the loss, goes through the renewed wake-up.
    aiocb again = Request(pair.server, got, 4, SIGEV_NONE);
    const int submitted = aio_read(&again);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ::send(pair.client, "pong", 4, 0);
    std::cout << "again " << (submitted == 0 ? Outcome(again) : ErrorName(errno)) << " " << got
              << std::endl;
    bool untouched = true;
    for (const int fd : files) {
        struct stat status {};
        untouched &=
            ::fstat(fd, &status) == 0 && status.st_size == 4 && ::lseek(fd, 0, SEEK_CUR) == 0;
    }
    std::cout << (untouched ? "files untouched" : "files touched") << std::endl;
    return 0;
}

// Writes that outrun the socket's buffer wait in the engine's queue: the reader must still
// get them in the order they were started.
int Order() {
    const zen::test::LoopbackPair pair = zen::test::OpenLoopbackPair();
    const int small = 8192;
    ::setsockopt(pair.client, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    constexpr int kWrites = 48;
    constexpr size_t kSize = 32 * 1024;
    std::vector<std::vector<char>> chunks(kWrites);
    std::vector<aiocb> writes(kWrites);
    for (int i = 0; i < kWrites; ++i) {
        chunks[i].assign(kSize, static_cast<char>('A' + i % 26));
        writes[i] = Request(pair.client, chunks[i].data(), kSize, SIGEV_NONE);
        if (aio_write(&writes[i]) != 0) {
            std::cout << "write " << i << " " << ErrorName(errno) << std::endl;
            return 1;
        }
    }
    std::vector<char> got;
    char buffer[65536];
    while (got.size() < kWrites * kSize) {
        const ssize_t n = ::recv(pair.server, buffer, sizeof buffer, 0);
        if (n <= 0) {
            break;
        }
        got.insert(got.end(), buffer, buffer + n);
    }
    bool kept = got.size() == kWrites * kSize;
    for (size_t at = 0; kept && at < got.size(); ++at) {
        kept = got[at] == static_cast<char>('A' + (at / kSize) % 26);
    }
    for (aiocb& write : writes) {
        kept &= Outcome(write) == std::to_string(kSize);
    }
    std::cout << (kept ? "order kept" : "order broken") << std::endl;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    sem_init(&threadNotified, 0, 0);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGRTMIN);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "notify") {
        return Notify();
    }
    if (command == "exhaust") {
        return Exhaust();
    }
    if (command == "list") {
        return List();
    }
    if (command == "order") {
        return Order();
    }
    if (command == "closeall") {
        return CloseAll();
    }
    if (command == "sendfile" && argc > 2) {
        return SendFile(argv[2]);
    }
    return 2;
}
