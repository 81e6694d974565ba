// What the kernel's Internet rules add to the service: a tick with 50 controlled accounts whose
// rules did not change (a read of the counters, no transaction) against the same tick without
// the rules, and the commit of a changed table. Run as root; everything happens in a network
// namespace of the benchmark's own, never in the machine's ruleset.
#include <benchmark/benchmark.h>
#include <sched.h>
#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_root.h"
#include "common/db/db_manager.h"
#include "common/db/rules_editor.h"
#include "platform/internet_table.h"
#include "service/managers/internet_rules_manager.h"
#include "service/service_context.h"
#include "service/tick.h"

namespace zen {
namespace {

constexpr int kAccounts = 50;
constexpr uid_t kFirstUid = 63100;

bool EnterPrivateNetwork() {
    static const bool entered = ::unshare(CLONE_NEWNET) == 0;
    return entered;
}

// A database with 50 accounts of a group whose Internet follows its own timetable, and the
// service's context; the namespace is named as the one for the kernel rules.
struct ControlledMachine {
    bench::BenchRoot root;
    ServiceContext context{Env()};

    ControlledMachine() {
        std::ofstream passwd(root.path() / "etc/passwd");
        for (int i = 0; i < kAccounts; ++i) {
            passwd << "k" << i << ":x:" << kFirstUid + i << ":" << kFirstUid + i
                   << "::/nonexistent:/bin/sh\n";
        }
        passwd.close();
        struct stat own {};
        ::stat("/proc/self/ns/net", &own);
        std::ofstream(KernelRulesNamespaceFile()) << own.st_ino;
        CDBManager creator;
        if (creator.SaveOptionsAndNotify() != 1 || creator.Init(true) != 1 ||
            AddGroup(creator, u"Kids") != EditStatus::Done ||
            SetTimetableMode(creator, u"Kids", Category::Internet, 1) != EditStatus::Done) {
            throw std::runtime_error("cannot create the database");
        }
        for (int i = 0; i < kAccounts; ++i) {
            const std::string name = "k" + std::to_string(i);
            AddUser(creator, std::u16string(name.begin(), name.end()), u"Kids");
        }
        creator.Term();
        if (context.db.Init(false) != 1) {
            throw std::runtime_error("cannot open the database");
        }
    }
    ~ControlledMachine() {
        context.db.Term();
        InternetTable().Remove();
    }
};

void TickWith(benchmark::State& state, bool kernelRules) {
    if (!EnterPrivateNetwork()) {
        state.SkipWithError("needs root for a network namespace");
        return;
    }
    ControlledMachine machine;
    if (kernelRules) {
        machine.context.managers.push_back(
            CInternetRulesManager::Create(machine.context.db, *machine.context.actions));
        machine.context.managers.back()->Start();
    }
    RunTick(machine.context);
    for (auto _ : state) {
        RunTick(machine.context);
    }
}

void BM_TickWithoutKernelRules(benchmark::State& state) {
    TickWith(state, false);
}
BENCHMARK(BM_TickWithoutKernelRules)->Unit(benchmark::kMicrosecond);

void BM_TickWithUnchangedKernelRules(benchmark::State& state) {
    TickWith(state, true);
}
BENCHMARK(BM_TickWithUnchangedKernelRules)->Unit(benchmark::kMicrosecond);

void BM_ChangedTableCommit(benchmark::State& state) {
    if (!EnterPrivateNetwork()) {
        state.SkipWithError("needs root for a network namespace");
        return;
    }
    std::vector<AccountInternetRule> accounts;
    for (int i = 0; i < kAccounts; ++i) {
        accounts.push_back({static_cast<uid_t>(kFirstUid + i), i % 2 == 0});
    }
    InternetTable table;
    int flipped = 0;
    for (auto _ : state) {
        accounts[flipped].forbidden = !accounts[flipped].forbidden;
        flipped = (flipped + 1) % kAccounts;
        if (table.Replace(accounts) != InternetTable::Commit::Committed) {
            state.SkipWithError(table.LastError().c_str());
            break;
        }
    }
    table.Remove();
}
BENCHMARK(BM_ChangedTableCommit)->Unit(benchmark::kMillisecond);

void BM_CountersRead(benchmark::State& state) {
    if (!EnterPrivateNetwork()) {
        state.SkipWithError("needs root for a network namespace");
        return;
    }
    std::vector<AccountInternetRule> accounts;
    for (int i = 0; i < kAccounts; ++i) {
        accounts.push_back({static_cast<uid_t>(kFirstUid + i), false});
    }
    InternetTable table;
    table.Replace(accounts);
    for (auto _ : state) {
        benchmark::DoNotOptimize(table.Counters());
    }
    table.Remove();
}
BENCHMARK(BM_CountersRead)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zen
