// The service's idle cost: one tick (console user from the seat file, current user, the
// managers, the report check) and its resident memory after an hour of ticks (720 ticks run
// back to back stand in for the hour).
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include "bench/bench_root.h"
#include "common/db/db_manager.h"
#include "service/service_context.h"
#include "service/tick.h"

namespace zen {
namespace {

constexpr int kTicksPerHour = 3600 / (kManagerPeriodMs / 1000);

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmRSS:" && status >> value) {
            return value;
        }
        status.ignore(1 << 10, '\n');
    }
    return -1;
}

// A database as the set-up leaves it, a user at the console, and the service's context.
struct IdleService {
    bench::BenchRoot root;
    ServiceContext context{Env()};

    IdleService() {
        std::ofstream(root.path() / "run/zentimo/seat") << "anna\n";
        CDBManager creator;
        if (creator.SaveOptionsAndNotify() != 1 || creator.Init(true) != 1) {
            throw std::runtime_error("cannot create the database");
        }
        creator.Term();
        if (context.db.Init(false) != 1) {
            throw std::runtime_error("cannot open the database");
        }
    }
    ~IdleService() { context.db.Term(); }
};

void BM_IdleTick(benchmark::State& state) {
    IdleService service;
    for (auto _ : state) {
        RunTick(service.context);
    }
}
BENCHMARK(BM_IdleTick)->Unit(benchmark::kMicrosecond);

void BM_HourOfTicks(benchmark::State& state) {
    IdleService service;
    RunTick(service.context);
    const long before = ResidentKiB();
    for (auto _ : state) {
        for (int i = 0; i < kTicksPerHour; ++i) {
            RunTick(service.context);
        }
    }
    state.counters["rss_after_first_tick_KiB"] = static_cast<double>(before);
    state.counters["rss_after_hour_KiB"] = static_cast<double>(ResidentKiB());
}
BENCHMARK(BM_HourOfTicks)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zen
