// CPU time of the programs manager's tick with 300 programs of a child running: both passes
// ("All Users" and the child's group), with the checksums and process list warm, and cold (a
// manager just started). The process list follows the kernel's events (root), or reads /proc
// whole at each pass for comparison.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>
#include <vector>

#include "bench/bench_root.h"
#include "common/db/db_manager.h"
#include "common/db/rules_editor.h"
#include "common/db/rules_model.h"
#include "platform/clock.h"
#include "service/managers/process_manager.h"

namespace zen {
namespace {

constexpr int kPrograms = 300;
constexpr uid_t kChildUid = 47031;

// Sleeping children of the child's account, ended with the benchmark.
class Sleepers {
public:
    explicit Sleepers(int count) {
        for (int i = 0; i < count; ++i) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                if (::syscall(SYS_setresuid, kChildUid, kChildUid, kChildUid) == 0) {
                    ::pause();
                }
                ::_exit(0);
            }
            pids_.push_back(pid);
        }
        ::usleep(500'000);
    }
    ~Sleepers() {
        for (const pid_t pid : pids_) {
            ::kill(pid, SIGKILL);
        }
        for (const pid_t pid : pids_) {
            ::waitpid(pid, nullptr, 0);
        }
    }

private:
    std::vector<pid_t> pids_;
};

// The child in a group of its own, an "All Users" record, a controlled program that is not
// running, and the child's programs.
struct ProgramsOfAChild {
    bench::BenchRoot root;
    CDBManager db;
    Sleepers sleepers{kPrograms};

    ProgramsOfAChild() {
        std::filesystem::create_directories(root.path() / "etc");
        std::ofstream(root.path() / "etc/passwd") << "root:x:0:0::/root:/bin/sh\n"
                                                  << "kid:x:47031:47031::/home/kid:/bin/sh\n";
        std::ofstream(root.path() / "etc/login.defs") << "UID_MIN 1000\n";
        FastUsersRecord everyone = NamedDefault(kAllUsers);
        everyone.UserID = 1000;
        if (db.SaveOptionsAndNotify() != 1 || db.Init(true) != 1 ||
            AddGroup(db, u"Kids") != EditStatus::Done ||
            AddUser(db, u"kid", u"Kids") != EditStatus::Done ||
            AddProgramEntry(db, kControlledMode, u"Kids", u"/opt/games/tetris", 0x1234) !=
                EditStatus::Done ||
            db.Users().Update(
                [&](UsersTable::Set& users) { return users.insert(everyone).second; }) != 1) {
            throw std::runtime_error("cannot make the database");
        }
        db.SetCurrentUserName(u"kid");
        db.SetCurrentUser();
    }
    ~ProgramsOfAChild() { db.Term(); }
};

ProgramsOfAChild& Fixture() {
    static ProgramsOfAChild fixture;
    return fixture;
}

bool CanRun(benchmark::State& state) {
    if (::geteuid() != 0) {
        state.SkipWithError("needs root: the programs run under a child's uid");
        return false;
    }
    return true;
}

void Warm(benchmark::State& state, ProcessList::Mode mode) {
    if (!CanRun(state)) {
        return;
    }
    ProgramsOfAChild& fixture = Fixture();
    const auto actions = MakeSystemActions(Env());
    CProcessManager manager(fixture.db, *actions, mode);
    manager.Start();
    manager.Tick();
    for (auto _ : state) {
        manager.Tick();
    }
    state.counters["tracked"] = static_cast<double>(manager.Tracked().size());
    manager.Stop();
}

void BM_ProgramsTickWarm(benchmark::State& state) {
    Warm(state, ProcessList::Mode::FollowEvents);
}
BENCHMARK(BM_ProgramsTickWarm)->Unit(benchmark::kMicrosecond);

void BM_ProgramsTickWarmWholeReads(benchmark::State& state) {
    Warm(state, ProcessList::Mode::ReadWhole);
}
BENCHMARK(BM_ProgramsTickWarmWholeReads)->Unit(benchmark::kMicrosecond);

// The first tick of a manager just started: every checksum read, every run newly tracked.
void BM_ProgramsTickCold(benchmark::State& state) {
    if (!CanRun(state)) {
        return;
    }
    ProgramsOfAChild& fixture = Fixture();
    for (auto _ : state) {
        state.PauseTiming();
        const auto actions = MakeSystemActions(Env());
        CProcessManager manager(fixture.db, *actions);
        manager.Start();
        state.ResumeTiming();
        manager.Tick();
        state.PauseTiming();
        manager.Stop();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ProgramsTickCold)->Unit(benchmark::kMicrosecond);

// What a manager's start costs once: subscribing to the kernel's events and reading /proc whole.
void BM_ProcessListStart(benchmark::State& state) {
    if (!CanRun(state)) {
        return;
    }
    Fixture();
    for (auto _ : state) {
        ProcessList list;
        benchmark::DoNotOptimize(list.FollowsEvents());
    }
}
BENCHMARK(BM_ProcessListStart)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zen
