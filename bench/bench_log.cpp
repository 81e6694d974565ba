// Appends to a log that has reached its size limit (each append frees the oldest slot and
// reuses it), and the plain fdatasync of a file that size for comparison: the flush is most of
// an append's cost. Runs under a temporary root in /tmp.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>
#include "bench/bench_root.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "common/db/log_records.h"
#include "common/db/log_table.h"
#include "platform/root.h"

namespace zen {
namespace {

namespace fs = std::filesystem;

// A warnings log filled to its limit, so that every further append recycles the oldest slot.
class FullLog {
public:
    explicit FullLog(uint32_t limitKb) : limitKb_(limitKb) {
        optionsMutex_.Open("_QRT_OptionsMutex_");
        if (log_.Open(true, &limitKb_, &optionsMutex_) != 1) {
            throw std::runtime_error("cannot open the log");
        }
        while (Size() < uint64_t{limitKb_} * 1024) {
            Append();
        }
    }

    int Append() {
        WarningRecord record = BuildWarning(1'700'000'000 + count_++, u"tom", u"Program blocked",
                                            u"game", 1, u"The program is not allowed now");
        return log_.LogAppend(std::as_writable_bytes(std::span(&record, 1)));
    }
    uint64_t Size() const { return fs::file_size(log_.FilePath()); }
    DBLogTable& log() { return log_; }

private:
    zen::bench::BenchRoot root_;
    NamedMutex optionsMutex_;
    uint32_t limitKb_;
    int64_t count_ = 0;
    DBLogTable log_{"Zenwgs", sizeof(WarningRecord)};  // closed before the root goes
};

void BM_LogAppendAtLimit(benchmark::State& state) {
    FullLog full(static_cast<uint32_t>(state.range(0)));
    const uint64_t size = full.Size();
    for (auto _ : state) {
        if (full.Append() != 1) {
            state.SkipWithError("append failed");
            break;
        }
    }
    state.counters["file_bytes"] = static_cast<double>(size);
    state.counters["grew"] = static_cast<double>(full.Size() != size);
}
BENCHMARK(BM_LogAppendAtLimit)->Arg(64)->Arg(1024)->Unit(benchmark::kMicrosecond);

void BM_FdatasyncOneSlot(benchmark::State& state) {
    zen::bench::BenchRoot root;
    const fs::path file = paths::DataDir() / "flush.dat";
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    std::string slot(sizeof(WarningRecord) + 4, 'x');
    ::ftruncate(fd, state.range(0) * 1024);
    for (auto _ : state) {
        ::pwrite(fd, slot.data(), slot.size(), 24);
        ::fdatasync(fd);
    }
    ::close(fd);
}
BENCHMARK(BM_FdatasyncOneSlot)->Arg(64)->Unit(benchmark::kMicrosecond);

void BM_LogLinesOfAFullLog(benchmark::State& state) {
    FullLog full(static_cast<uint32_t>(state.range(0)));
    std::size_t lines = 0;
    for (auto _ : state) {
        const std::u16string text = LogLines(full.log(), LogKind::Warnings);
        benchmark::DoNotOptimize(text.data());
        lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), u'\n'));
    }
    state.counters["records"] = static_cast<double>(lines);
}
BENCHMARK(BM_LogLinesOfAFullLog)->Arg(1024)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zen
