// The evaluations on the hot path of every socket call of a controlled process.
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include "bench/bench_root.h"

#include <filesystem>
#include <string>

#include "common/db/access.h"
#include "common/db/rules_model.h"
#include "common/db/usage_state.h"
#include "platform/clock.h"
#include "platform/root.h"

namespace {

constexpr int64_t kMoment = 1'709'633'760;
constexpr uint32_t kLimits[7] = {600, 600, 600, 600, 600, 600, 600};

void BM_CheckDailyLimitNothingWritten(benchmark::State& state) {
    zen::bench::BenchRoot root;
    zen::NamedMutex stateMutex;
    stateMutex.Open("_QRT_StateMutex_");
    zen::SetNowForTesting(kMoment);
    zen::CheckDailyLimit(stateMutex, true, u"alice", 9321, kLimits);  // counts the minute
    for (auto _ : state) {
        benchmark::DoNotOptimize(zen::CheckDailyLimit(stateMutex, true, u"alice", 9321, kLimits));
    }
    zen::SetNowForTesting(std::nullopt);
}
BENCHMARK(BM_CheckDailyLimitNothingWritten);

// The read that the remembered counter saves: open, fstat, read and close of the file.
void BM_LoadUsageFromFile(benchmark::State& state) {
    zen::bench::BenchRoot root;
    zen::NamedMutex stateMutex;
    stateMutex.Open("_QRT_StateMutex_");
    zen::SaveUsage(stateMutex, 1, 1, 7, 9321);
    zen::UsageCounterFile counter{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(zen::LoadUsage(stateMutex, counter, 7, 9321));
    }
}
BENCHMARK(BM_LoadUsageFromFile);

void BM_IsAllowedNow(benchmark::State& state) {
    const zen::Timetable timetable = zen::AllAllowed();
    for (auto _ : state) {
        benchmark::DoNotOptimize(zen::IsAllowedNow(timetable));
    }
}
BENCHMARK(BM_IsAllowedNow);

void BM_CategoryAllowedNow(benchmark::State& state) {
    const zen::FastUsersRecord rules = zen::RulesDefault();
    for (auto _ : state) {
        benchmark::DoNotOptimize(zen::CategoryAllowedNow(rules, false, zen::Category::Internet));
    }
}
BENCHMARK(BM_CategoryAllowedNow);

}  // namespace
