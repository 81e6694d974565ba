// Which block devices are drives: sysfs fixtures below the temporary root in the kernel's own
// layout (/sys/dev/block links into /sys/devices).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/drives.h"
#include "support/temp_root.h"

namespace zen::test {
namespace {
namespace fs = std::filesystem;

class BlockDriveTypeTest : public RootedTest {
protected:
    // A disk (and its first partition) under `parent` in /sys/devices, with the device numbers
    // 8:<minor> for the disk and 8:<minor + 1> for the partition.
    void AddDisk(const std::string& parent, const std::string& name, unsigned minor,
                 const std::string& removable) {
        const fs::path disk = root / "sys/devices" / parent / "block" / name;
        Write(disk / "removable", removable);
        Write(disk / (name + "1") / "partition", "1");
        Link(disk, minor);
        Link(disk / (name + "1"), minor + 1);
    }
    void Write(const fs::path& path, const std::string& text) {
        fs::create_directories(path.parent_path());
        WriteAll(path, text + "\n");
    }
    // A device's bus, as the kernel links it.
    void SetBus(const std::string& device, const std::string& bus) {
        fs::create_directories(root / "sys/bus" / bus);
        fs::create_directories(root / "sys/devices" / device);
        fs::create_symlink(root / "sys/bus" / bus, root / "sys/devices" / device / "subsystem");
    }
    void Link(const fs::path& device, unsigned minor) {
        const fs::path link = root / "sys/dev/block" / ("8:" + std::to_string(minor));
        fs::create_directories(link.parent_path());
        fs::create_symlink(fs::relative(device, link.parent_path()), link);
    }
};

TEST_F(BlockDriveTypeTest, OpticalRemovableHotPluggedAndFixedDisks) {
    AddDisk("pci0000:00/ata1/host0/target0:0:0/0:0:0:0", "sda", 0, "0");
    AddDisk("pci0000:00/ata2/host1/target1:0:0/1:0:0:0", "sr0", 10, "1");
    Write(root / "sys/devices/pci0000:00/ata3/host2/target2:0:0/2:0:0:0/type", "5");
    AddDisk("pci0000:00/ata3/host2/target2:0:0/2:0:0:0", "sdz", 20, "0");
    fs::create_symlink(
        root / "sys/devices/pci0000:00/ata3/host2/target2:0:0/2:0:0:0",
        root / "sys/devices/pci0000:00/ata3/host2/target2:0:0/2:0:0:0/block/sdz/device");
    AddDisk("pci0000:00/ata4/host3/target3:0:0/3:0:0:0", "sdc", 30, "1");
    // Many USB sticks and disks say their media are not removable; their bus says otherwise.
    SetBus("pci0000:00/usb1/1-1", "usb");
    AddDisk("pci0000:00/usb1/1-1/1-1:1.0/host4/target4:0:0/4:0:0:0", "sdb", 40, "0");
    // An SD card is removable; the eMMC soldered in (which often holds the system) is not.
    SetBus("pci0000:00/mmc_host/mmc0/mmc0:0001", "mmc");
    Write(root / "sys/devices/pci0000:00/mmc_host/mmc0/mmc0:0001/type", "SD");
    AddDisk("pci0000:00/mmc_host/mmc0/mmc0:0001", "mmcblk0", 50, "0");
    SetBus("pci0000:00/mmc_host/mmc1/mmc1:0001", "mmc");
    Write(root / "sys/devices/pci0000:00/mmc_host/mmc1/mmc1:0001/type", "MMC");
    AddDisk("pci0000:00/mmc_host/mmc1/mmc1:0001", "mmcblk1", 60, "0");
    // A Thunderbolt or other hot-plug port the kernel marks removable.
    Write(root / "sys/devices/pci0000:00/0000:00:1c.0/removable", "removable");
    AddDisk("pci0000:00/0000:00:1c.0/nvme/nvme0", "nvme0n1", 70, "0");

    const struct {
        unsigned minor;
        uint32_t type;
    } cases[] = {
        {0, 0},
        {1, 0},  // an internal disk and its partition
        {10, kDriveCdrom},
        {11, kDriveCdrom},  // sr0
        {20, kDriveCdrom},  // SCSI type 5
        {30, kDriveRemovable},
        {31, kDriveRemovable},  // removable media
        {40, kDriveRemovable},
        {41, kDriveRemovable},  // USB
        {50, kDriveRemovable},
        {60, 0},  // SD card, eMMC
        {70, kDriveRemovable},
        {99, 0},  // hot-plug port, no such device
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BlockDriveType(8, c.minor), c.type) << "8:" << c.minor;
    }
}

TEST(MountFieldTest, EscapesAsMountinfoAndBack) {
    EXPECT_EQ(EscapeMountField("/media/kid/My Disc"), "/media/kid/My\\040Disc");
    EXPECT_EQ(EscapeMountField("a\\b\tc\nd"), "a\\134b\\011c\\012d");
    EXPECT_EQ(UnescapeMountField("/media/kid/My\\040Disc"), "/media/kid/My Disc");
    // Not an escape: left as it is.
    EXPECT_EQ(UnescapeMountField("a\\9b\\04"), "a\\9b\\04");
    const std::string bytes = "\x01 \x7f\\\xc3\xa9";
    EXPECT_EQ(UnescapeMountField(EscapeMountField(bytes)), bytes);
}

}  // namespace
}  // namespace zen::test
