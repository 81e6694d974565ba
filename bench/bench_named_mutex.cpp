#include <benchmark/benchmark.h>

#include "bench/bench_root.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "platform/named_event.h"
#include "platform/named_mutex.h"
#include "platform/root.h"

namespace zen {
namespace {

void BM_NamedMutexLockUnlock(benchmark::State& state) {
    zen::bench::BenchRoot root;
    NamedMutex mutex;
    if (!mutex.Open("_QRT_OptionsMutex_")) {
        state.SkipWithError("cannot open the mutex");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(mutex.Lock());
        mutex.Unlock();
    }
}
BENCHMARK(BM_NamedMutexLockUnlock);

void BM_NamedEventPulseNoWaiter(benchmark::State& state) {
    zen::bench::BenchRoot root;
    NamedEvent event;
    if (!event.Open("__Zentimo_Reload_Event__")) {
        state.SkipWithError("cannot open the event");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(event.Pulse());
    }
}
BENCHMARK(BM_NamedEventPulseNoWaiter);

}  // namespace
}  // namespace zen
