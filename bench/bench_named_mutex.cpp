#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "platform/named_event.h"
#include "platform/named_mutex.h"
#include "platform/root.h"

namespace zen {
namespace {

// The objects live under a temporary root, never under the machine's own run directory.
class BenchRoot {
public:
    BenchRoot() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zenbench.XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        path_ = pattern;
        ::setenv("ZEN_ROOT", path_.c_str(), 1);
        if (!EnsureSharedDirectories()) {
            throw std::runtime_error("cannot make the shared directories");
        }
    }
    ~BenchRoot() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

private:
    std::filesystem::path path_;
};

void BM_NamedMutexLockUnlock(benchmark::State& state) {
    BenchRoot root;
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
    BenchRoot root;
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
