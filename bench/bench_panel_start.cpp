// zencp's start: from exec to the tray icon with the event loop running (the panel answers on
// its session socket only then), and its resident memory once it sits in the tray. Each
// iteration starts the real program on Qt's offscreen platform under a private root.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QCoreApplication>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "bench_root.h"
#include "common/db/db_manager.h"
#include "panel/single_instance.h"

extern char** environ;

namespace {

long ResidentKilobytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

void BM_PanelStartToTray(benchmark::State& state) {
    zen::bench::BenchRoot root;
    {
        std::ofstream seat(root.path() / "run/zentimo/seat");
        seat << "alice\n";
    }
    zen::CDBManager setup;
    if (setup.Init(true) == 0 || setup.SaveOptionsAndNotify() == 0) {
        state.SkipWithError("cannot set up the database");
        return;
    }
    setup.Term();
    // Offscreen unless the caller chose a platform (a virtual X server, say).
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    char path[] = ZENCP_PATH;
    char* argv[] = {path, nullptr};
    long rss = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        pid_t pid = 0;
        if (::posix_spawn(&pid, path, nullptr, nullptr, argv, environ) != 0) {
            state.SkipWithError("cannot start zencp");
            return;
        }
        bool answered = false;
        while (!answered) {
            if (!zen::panel::SingleInstance::SendToRunning("ping", &answered)) {
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
        }
        const auto ready = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(ready - start).count());
        // Settled in the tray: the database watcher and the stop watcher run.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        rss = std::max(rss, ResidentKilobytes(pid));
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
    state.counters["rss_MB"] = static_cast<double>(rss) / 1024.0;
}
BENCHMARK(BM_PanelStartToTray)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
