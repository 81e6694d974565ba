#include <benchmark/benchmark.h>

#include <string>

#include "bench/bench_root.h"
#include "common/db/db_manager.h"
#include "common/db/rules_model.h"
#include "platform/text.h"

namespace {

using namespace zen;

// A database as a large family machine might hold it: 200 users and 500 program entries.
void FillDatabase() {
    CDBManager creator;
    creator.SaveOptionsAndNotify();
    creator.Init(true);
    creator.Users().Update([&](UsersTable::Set& records) {
        for (int i = 0; i < 200; ++i) {
            FastUsersRecord user =
                NewUser(creator.Users(), Utf8ToUtf16("user" + std::to_string(i)));
            user.UserID = 100 + i;
            records.insert(user);
        }
        return true;
    });
    creator.Customs().Update([&](CustomsTable::Set& records) {
        for (int i = 0; i < 500; ++i) {
            FastCustomRecord entry{};
            entry.Mode = static_cast<uint16_t>(1 + i % 2);
            SetFieldText(entry.UserID, i % 3 == 0 ? kAllUsers : u"Guests");
            SetFieldText(entry.szVal, Utf8ToUtf16("/usr/bin/program" + std::to_string(i)));
            entry.dwVal = static_cast<uint32_t>(i * 2654435761u);
            entry.timetable = AllAllowed();
            records.insert(entry);
        }
        return true;
    });
}

void BM_InitAndTerm(benchmark::State& state) {
    bench::BenchRoot root;
    FillDatabase();
    for (auto _ : state) {
        CDBManager db;
        db.SetCurrentUserName(u"user42");
        if (db.Init(false) != 1) {
            state.SkipWithError("Init failed");
            return;
        }
        db.Term();
    }
}
BENCHMARK(BM_InitAndTerm)->Unit(benchmark::kMillisecond);

}  // namespace
