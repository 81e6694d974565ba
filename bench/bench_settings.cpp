#include <benchmark/benchmark.h>

#include <string>

#include "bench/bench_root.h"
#include "common/db/db_manager.h"
#include "common/db/rules_model.h"
#include "common/settings/settings_transfer.h"
#include "platform/text.h"

namespace {

using namespace zen;

// The settings of a large family machine: 200 users and 500 program entries.
SettingsSnapshot LargeSnapshot() {
    SettingsSnapshot snapshot;
    snapshot.options = OptionsDefault();
    for (int i = 0; i < 200; ++i) {
        FastUsersRecord user = RulesDefault();
        SetFieldText(user.name, Utf8ToUtf16("user" + std::to_string(i)));
        user.UserID = 100 + i;
        user.ParentID = kGuestsId;
        snapshot.users.push_back(user);
    }
    for (int i = 0; i < 500; ++i) {
        FastCustomRecord entry{};
        entry.Mode = static_cast<uint16_t>(1 + i % 2);
        SetFieldText(entry.UserID, u"Guests");
        SetFieldText(entry.szVal, Utf8ToUtf16("/usr/bin/program" + std::to_string(i)));
        entry.dwVal = static_cast<uint32_t>(i * 2654435761u);
        entry.timetable = AllAllowed();
        snapshot.customs.push_back(entry);
    }
    return snapshot;
}

void BM_WriteDocument(benchmark::State& state) {
    const SettingsSnapshot snapshot = LargeSnapshot();
    for (auto _ : state) {
        benchmark::DoNotOptimize(WriteSettingsDocument(snapshot));
    }
}
BENCHMARK(BM_WriteDocument)->Unit(benchmark::kMillisecond);

void BM_ReadDocument(benchmark::State& state) {
    const std::string document = WriteSettingsDocument(LargeSnapshot());
    state.counters["bytes"] = static_cast<double>(document.size());
    for (auto _ : state) {
        ImportedSettings settings;
        benchmark::DoNotOptimize(ReadSettingsDocument(document, settings));
    }
}
BENCHMARK(BM_ReadDocument)->Unit(benchmark::kMillisecond);

// The whole import: read, check, and save the options and both tables.
void BM_ImportIntoDatabase(benchmark::State& state) {
    bench::BenchRoot root;
    const std::string document = WriteSettingsDocument(LargeSnapshot());
    CDBManager db;
    db.SetCurrentUserName(u"");
    if (db.SaveOptionsAndNotify() != 1 || db.Init(true) != 1) {
        state.SkipWithError("cannot make the database");
        return;
    }
    for (auto _ : state) {
        if (ImportSettingsDocument(db, document) != ImportStatus::Done) {
            state.SkipWithError("import failed");
            return;
        }
    }
}
BENCHMARK(BM_ImportIntoDatabase)->Unit(benchmark::kMillisecond);

}  // namespace
