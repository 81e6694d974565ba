// The network filter's cost, each as a ratio measured in one run (both sides alternate, so
// machine noise hits both): 1-byte TCP ping-pong and a 1 GiB transfer over loopback through
// libzensp.so against none, spawning /bin/true with the library preloaded against an empty
// preloaded library, python3 -c pass with against without, and an aio_write + aio_read round
// trip through the filter's engine against the C library's own AIO. The socket programs run as a
// user whose Internet is controlled (timetable on, daily limit on), so every check runs.
#include <aio.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_root.h"
#include "common/db/category.h"
#include "common/db/db_manager.h"
#include "common/db/rules_editor.h"
#include "tests/filter/probe/loopback_pair.h"
#include "tests/filter/program_run.h"

namespace zen {
namespace {

using Clock = std::chrono::steady_clock;

constexpr uid_t kBenchUid = 60123;
constexpr int kRoundTrips = 20000;
constexpr long long kTransferBytes = 1LL << 30;
constexpr int kAioRoundTrips = 5000;

std::string self;

// ---- what the measured child processes do ------------------------------------------------

void NoDelay(const test::LoopbackPair& pair) {
    const int on = 1;
    ::setsockopt(pair.client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::setsockopt(pair.server, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

long long PingPong() {
    const test::LoopbackPair pair = test::OpenLoopbackPair();
    NoDelay(pair);
    std::thread echo([&] {
        char byte;
        for (int i = 0; i < kRoundTrips && ::recv(pair.server, &byte, 1, 0) == 1; ++i) {
            ::send(pair.server, &byte, 1, 0);
        }
    });
    const auto start = Clock::now();
    char byte = 'x';
    for (int i = 0; i < kRoundTrips; ++i) {
        if (::send(pair.client, &byte, 1, 0) != 1 || ::recv(pair.client, &byte, 1, 0) != 1) {
            return -1;
        }
    }
    const auto elapsed = Clock::now() - start;
    echo.join();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count();
}

long long Transfer() {
    const test::LoopbackPair pair = test::OpenLoopbackPair();
    std::thread sink([&] {
        std::vector<char> buffer(1 << 16);
        long long got = 0;
        while (got < kTransferBytes) {
            const ssize_t n = ::read(pair.server, buffer.data(), buffer.size());
            if (n <= 0) {
                return;
            }
            got += n;
        }
    });
    std::vector<char> buffer(1 << 16, 'y');
    const auto start = Clock::now();
    for (long long sent = 0; sent < kTransferBytes;) {
        const ssize_t n = ::write(pair.client, buffer.data(), buffer.size());
        if (n <= 0) {
            return -1;
        }
        sent += n;
    }
    sink.join();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
}

// One byte written with aio_write on one end and read with aio_read on the other, waited for
// with aio_suspend.
long long AioRoundTrips() {
    const test::LoopbackPair pair = test::OpenLoopbackPair();
    const auto start = Clock::now();
    for (int i = 0; i < kAioRoundTrips; ++i) {
        char sent = 'x';
        char got = 0;
        aiocb write{};
        write.aio_fildes = pair.client;
        write.aio_buf = &sent;
        write.aio_nbytes = 1;
        aiocb read = write;
        read.aio_fildes = pair.server;
        read.aio_buf = &got;
        if (::aio_write(&write) != 0 || ::aio_read(&read) != 0) {
            return -1;
        }
        for (const aiocb* each : {&write, &read}) {
            const aiocb* list[] = {each};
            while (::aio_error(each) == EINPROGRESS) {
                ::aio_suspend(list, 1, nullptr);
            }
        }
        if (::aio_return(&write) != 1 || ::aio_return(&read) != 1 || got != 'x') {
            return -1;
        }
    }
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
}

int ChildMain(const std::string& what) {
    const long long nanoseconds = what == "pingpong" ? PingPong()
                                  : what == "aio"    ? AioRoundTrips()
                                                     : Transfer();
    std::printf("%lld\n", nanoseconds);
    return nanoseconds < 0 ? 1 : 0;
}

// ---- the measuring side ------------------------------------------------------------------

// A controlled user with the Internet open at every hour and a daily limit that is never
// reached, so each data call runs the timetable and the daily count.
struct FilterBench {
    bench::BenchRoot root;
    std::string preload = std::string("LD_PRELOAD=") + ZENSP_PATH;
    std::string noPreload = "LD_PRELOAD=";
    std::string emptyPreload = std::string("LD_PRELOAD=") + ZENSP_EMPTY_PATH;
    uid_t uid = ::geteuid() == 0 ? kBenchUid : ::geteuid();

    FilterBench() {
        ::chmod(root.path().c_str(), 0755);
        std::filesystem::create_directories(root.path() / "etc");
        std::ofstream(root.path() / "etc/passwd")
            << "bench:x:" << uid << ":" << uid << "::/nonexistent:/bin/sh\n";
        CDBManager db;
        db.SaveOptionsAndNotify();
        db.Init(true);
        AddGroup(db, u"Kids");
        AddUser(db, u"bench", u"Kids");
        SetTimetableMode(db, u"Kids", Category::Internet, 1);
        SetTimetableRange(db, u"Kids", Category::Internet, 0x7F, 0, 96, true);
        SetLimitMinutes(db, u"Kids", Category::Internet, 0x7F, 1440);
        SetLimitEnabled(db, u"Kids", Category::Internet, true);
        db.Term();
    }

    // Runs a program to its end; its standard output.
    std::string Run(const std::vector<std::string>& command, const std::string& preloadEntry,
                    bool asUser) const {
        test::Program::Options options;
        options.environment = {preloadEntry};
        if (asUser && ::geteuid() == 0) {
            options.uid = uid;
        }
        test::Program program(command, options);
        std::string output;
        for (const std::string& line : program.ReadLines(std::chrono::minutes(5))) {
            output += line;
        }
        program.Wait(std::chrono::seconds(10));
        return output;
    }

    double ChildNanoseconds(const std::string& what, const std::string& preloadEntry) const {
        return std::stod("0" + Run({self, "--child", what}, preloadEntry, true));
    }

    double SpawnNanoseconds(const std::vector<std::string>& command,
                            const std::string& preloadEntry, int times) const {
        const auto start = Clock::now();
        for (int i = 0; i < times; ++i) {
            Run(command, preloadEntry, false);
        }
        return std::chrono::duration<double, std::nano>(Clock::now() - start).count();
    }
};

FilterBench& Setup() {
    static FilterBench setup;
    return setup;
}

// Alternates the two sides each iteration and reports both and their ratio.
void Compare(benchmark::State& state, const std::function<double()>& without,
             const std::function<double()>& with) {
    double base = 0;
    double filtered = 0;
    for (auto _ : state) {
        base += without();
        filtered += with();
    }
    state.counters["without_ms"] = base / 1e6 / state.iterations();
    state.counters["with_ms"] = filtered / 1e6 / state.iterations();
    state.counters["ratio"] = filtered / base;
}

void BM_TcpPingPong1Byte(benchmark::State& state) {
    const FilterBench& bench = Setup();
    Compare(
        state, [&] { return bench.ChildNanoseconds("pingpong", bench.noPreload); },
        [&] { return bench.ChildNanoseconds("pingpong", bench.preload); });
}
BENCHMARK(BM_TcpPingPong1Byte)->Iterations(10)->Unit(benchmark::kMillisecond);

void BM_Transfer1GiB(benchmark::State& state) {
    const FilterBench& bench = Setup();
    Compare(
        state, [&] { return bench.ChildNanoseconds("transfer", bench.noPreload); },
        [&] { return bench.ChildNanoseconds("transfer", bench.preload); });
}
BENCHMARK(BM_Transfer1GiB)->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_SpawnTrue(benchmark::State& state) {
    const FilterBench& bench = Setup();
    Compare(
        state, [&] { return bench.SpawnNanoseconds({"/bin/true"}, bench.emptyPreload, 200); },
        [&] { return bench.SpawnNanoseconds({"/bin/true"}, bench.preload, 200); });
}
BENCHMARK(BM_SpawnTrue)->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_PythonPass(benchmark::State& state) {
    const FilterBench& bench = Setup();
    const std::vector<std::string> python{"/usr/bin/python3", "-c", "pass"};
    Compare(
        state, [&] { return bench.SpawnNanoseconds(python, bench.noPreload, 20); },
        [&] { return bench.SpawnNanoseconds(python, bench.preload, 20); });
}
BENCHMARK(BM_PythonPass)->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_AioRoundTrip(benchmark::State& state) {
    const FilterBench& bench = Setup();
    Compare(
        state, [&] { return bench.ChildNanoseconds("aio", bench.noPreload); },
        [&] { return bench.ChildNanoseconds("aio", bench.preload); });
}
BENCHMARK(BM_AioRoundTrip)->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zen

int main(int argc, char** argv) {
    zen::self = argv[0];
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0) {
        return zen::ChildMain(argv[2]);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
