// Costs of the record tables: the name comparison behind every look-up, and whole-table
// load and save of a users table of 1000 records.
#include <benchmark/benchmark.h>

#include "bench/bench_root.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "common/db/fast_table.h"
#include "common/db/name_compare.h"
#include "platform/root.h"
#include "platform/text.h"

namespace zen {
namespace {

namespace fs = std::filesystem;

void BM_NameCompare(benchmark::State& state) {
    const std::vector<std::pair<std::u16string, std::u16string>> pairs = {
        {u"tom", u"Tom"},
        {u"Kids", u"Parents"},
        {u"All Users", u"all users"},
        {u"notepad", u"notepad.exe"},
        {u"note*", u"notepad.exe"},
        {u"/usr/bin/firefox-esr", u"/usr/bin/firefox"},
        {u"/usr/lib/libreoffice/program/soffice.bin", u"/usr/lib/libreoffice/program/soffice"},
        {u"/home/anna/.local/share/Steam/ubuntu12_32/steam",
         u"/home/anna/.local/share/Steam/ubuntu12_32/steamwebhelper"},
    };
    for (auto _ : state) {
        for (const auto& [a, b] : pairs) {
            benchmark::DoNotOptimize(NameCompare(a, b));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pairs.size()));
}
BENCHMARK(BM_NameCompare);

constexpr int kUsers = 1000;

// A saved users table of kUsers records with filled timetables.
class UsersTable {
public:
    UsersTable() {
        if (table.Open(true) != 1) {
            throw std::runtime_error("cannot open the users table");
        }
        for (int i = 0; i < kUsers; ++i) {
            FastUsersRecord record{};
            SetFieldText(record.name, Utf8ToUtf16("user" + std::to_string(i)));
            record.UserID = static_cast<uint32_t>(i + 1);
            record.ParentID = static_cast<uint32_t>(i % 10);
            for (auto& timetable : record.timetables) {
                for (auto& row : timetable.rows) {
                    std::fill(std::begin(row), std::end(row), static_cast<uint8_t>(i));
                }
            }
            table.Insert(record);
        }
        if (table.Save() != 1) {
            throw std::runtime_error("cannot save the users table");
        }
    }

    zen::bench::BenchRoot root;
    FastTable<FastUsersRecord> table{"ZenUsr"};
};

// Load reads and deciphers the whole file; save writes a fresh file, flushes it to disk and
// renames it over the old one.
template <int (FastTable<FastUsersRecord>::*Operation)()>
void BM_Users(benchmark::State& state) {
    UsersTable users;
    for (auto _ : state) {
        if ((users.table.*Operation)() != 1) {
            state.SkipWithError("the table operation failed");
        }
    }
    state.SetItemsProcessed(state.iterations() * kUsers);
}
BENCHMARK(BM_Users<&FastTable<FastUsersRecord>::Load>)
    ->Name("BM_LoadUsers")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Users<&FastTable<FastUsersRecord>::Save>)
    ->Name("BM_SaveUsers")
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zen
