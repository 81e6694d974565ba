// The drives manager's share of every tick when nothing is to be hidden: with the categories
// allowed, and forbidden (then the mounts are read), and telling one device's kind from sysfs (done
// for each block-device mount).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "bench/bench_root.h"
#include "common/db/db_manager.h"
#include "common/db/rules_editor.h"
#include "platform/drives.h"
#include "service/managers/device_manager.h"

namespace zen {
namespace {
namespace fs = std::filesystem;

// Argument 1: both categories forbidden all week, so every tick looks for drives to hide.
void BM_DeviceManagerIdleTick(benchmark::State& state) {
    bench::BenchRoot root;
    CDBManager db;
    if (db.Init(true) != 1) {
        throw std::runtime_error("cannot create the database");
    }
    if (state.range(0) == 1) {
        for (const Category category : {Category::CDROM, Category::Removable}) {
            SetTimetableMode(db, u"Guests", category, 1);
            SetTimetableRange(db, u"Guests", category, 0x7F, 0, 96, false);
        }
    }
    db.SetCurrentUserName(u"anna");
    db.SetCurrentUser();
    const auto actions = MakeSystemActions(Env());
    CDeviceManager manager(db, *actions);
    manager.Start();
    for (auto _ : state) {
        manager.Tick();
    }
    db.Term();
}
BENCHMARK(BM_DeviceManagerIdleTick)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// A partition of a USB stick that reports fixed media: the longest walk, up to its bus.
void BM_BlockDriveTypeOfAUsbPartition(benchmark::State& state) {
    bench::BenchRoot root;
    const fs::path sys = root.path() / "sys";
    const fs::path port = sys / "devices/pci0000:00/0000:00:14.0/usb1/1-1";
    const fs::path disk = port / "1-1:1.0/host4/target4:0:0/4:0:0:0/block/sdb";
    fs::create_directories(disk / "sdb1");
    fs::create_directories(sys / "bus/usb");
    fs::create_directory_symlink("../../../../../bus/usb", port / "subsystem");
    std::ofstream(disk / "removable") << "0\n";
    std::ofstream(disk / "sdb1/partition") << "1\n";
    fs::create_directories(sys / "dev/block");
    fs::create_directory_symlink(fs::relative(disk / "sdb1", sys / "dev/block"),
                                 sys / "dev/block/8:17");
    if (BlockDriveType(8, 17) != kDriveRemovable) {
        throw std::runtime_error("the fixture is no removable drive");
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(BlockDriveType(8, 17));
    }
}
BENCHMARK(BM_BlockDriveTypeOfAUsbPartition)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zen
