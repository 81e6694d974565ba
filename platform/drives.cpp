#include "platform/drives.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <utility>

#include "platform/drive_mount.h"
#include "platform/root.h"

namespace zen {
namespace {
namespace fs = std::filesystem;

// The first word of a small sysfs attribute, "" when it cannot be read.
std::string ReadAttribute(const fs::path& path) {
    std::ifstream file(path);
    std::string word;
    file >> word;
    return word;
}

// Buses whose devices come and go while the machine runs.
constexpr std::array<std::string_view, 6> kHotPluggableBuses{"usb",      "mmc",      "memstick",
                                                             "firewire", "ieee1394", "thunderbolt"};

bool OnHotPluggableBus(const fs::path& disk, const fs::path& sysfs) {
    for (fs::path device = disk.parent_path();
         device != sysfs && device.has_relative_path() && device != device.parent_path();
         device = device.parent_path()) {
        // The port-level attribute says "removable", "fixed" or "unknown".
        if (ReadAttribute(device / "removable") == "removable") {
            return true;
        }
        std::error_code error;
        const std::string bus = fs::read_symlink(device / "subsystem", error).filename().string();
        if (std::ranges::find(kHotPluggableBuses, bus) == kHotPluggableBuses.end()) {
            continue;
        }
        // An eMMC chip sits on the MMC bus too, soldered in, and often holds the system.
        return bus != "mmc" || ReadAttribute(device / "type") != "MMC";
    }
    return false;
}

struct MountinfoEntry {
    unsigned major = 0;
    unsigned minor = 0;
    DriveMount mount;
};

// One line of mountinfo: id parent major:minor root point options [optional...] - type source
// super-options.
std::optional<MountinfoEntry> ParseMountinfoLine(const std::string& line) {
    std::istringstream fields(line);
    std::string id, parent, numbers, root, point, options, word;
    fields >> id >> parent >> numbers >> root >> point >> options;
    while (fields >> word && word != "-") {
    }
    std::string type, source, superOptions;
    if (!(fields >> type >> source >> superOptions)) {
        return std::nullopt;
    }
    MountinfoEntry entry;
    if (std::sscanf(numbers.c_str(), "%u:%u", &entry.major, &entry.minor) != 2) {
        return std::nullopt;
    }
    // The super-block's own options (a vfat stick's uid, codepage...) join the mount's flags.
    std::istringstream extra(superOptions);
    for (std::string option; std::getline(extra, option, ',');) {
        if (option != "rw" && ("," + options + ",").find("," + option + ",") == std::string::npos) {
            options += "," + option;
        }
    }
    entry.mount = {UnescapeMountField(source), UnescapeMountField(point), UnescapeMountField(type),
                   UnescapeMountField(options)};
    return entry;
}

std::vector<MountinfoEntry> ReadMountinfo() {
    // The thread's own view: the namespace its mount calls act in.
    std::ifstream file("/proc/thread-self/mountinfo");
    std::vector<MountinfoEntry> entries;
    for (std::string line; std::getline(file, line);) {
        if (auto entry = ParseMountinfoLine(line)) {
            entries.push_back(std::move(*entry));
        }
    }
    return entries;
}

// A path in one spelling: normal, without a trailing separator.
fs::path Normal(const fs::path& path) {
    fs::path normal = path.lexically_normal();
    return normal.has_filename() || normal == normal.root_path() ? normal : normal.parent_path();
}

// The mount points of the system's own trees ("/", /boot, /usr, ...) below the root.
std::vector<fs::path> SystemTrees() {
    static constexpr std::array<std::string_view, 6> kSystemTrees{"",    "boot", "boot/efi",
                                                                  "usr", "var",  "home"};
    std::vector<fs::path> trees;
    for (const std::string_view tree : kSystemTrees) {
        trees.push_back(Normal(Root() / tree));
    }
    return trees;
}

}  // namespace

uint32_t BlockDriveType(unsigned major, unsigned minor) {
    std::error_code error;
    const fs::path sysfs = fs::canonical(Root() / "sys", error);
    if (error) {
        return 0;
    }
    const fs::path device = fs::canonical(
        sysfs / "dev/block" / (std::to_string(major) + ":" + std::to_string(minor)), error);
    if (error) {
        return 0;
    }
    const fs::path disk = fs::exists(device / "partition") ? device.parent_path() : device;
    if (disk.filename().string().starts_with("sr") || ReadAttribute(disk / "device/type") == "5") {
        return kDriveCdrom;
    }
    if (ReadAttribute(disk / "removable") == "1" || OnHotPluggableBus(disk, sysfs)) {
        return kDriveRemovable;
    }
    return 0;
}

std::vector<DriveMount> MountedDrives(uint32_t type) {
    const std::vector<MountinfoEntry> entries = ReadMountinfo();
    const std::vector<fs::path> systemTrees = SystemTrees();
    std::set<std::pair<unsigned, unsigned>> systemDevices;
    for (const MountinfoEntry& entry : entries) {
        if (std::ranges::find(systemTrees, Normal(entry.mount.mountPoint)) != systemTrees.end()) {
            systemDevices.emplace(entry.major, entry.minor);
        }
    }
    std::vector<DriveMount> drives;
    for (const MountinfoEntry& entry : entries) {
        if (BelowRoot(entry.mount.mountPoint) &&
            !systemDevices.contains({entry.major, entry.minor}) &&
            BlockDriveType(entry.major, entry.minor) == type) {
            drives.push_back(entry.mount);
        }
    }
    return drives;
}

bool MayMountAgain(const DriveMount& drive, uint32_t type) {
    struct stat device {};
    if (::stat(drive.device.c_str(), &device) != 0 || !S_ISBLK(device.st_mode) ||
        BlockDriveType(major(device.st_rdev), minor(device.st_rdev)) != type) {
        return false;
    }
    static constexpr std::array<std::string_view, 3> kMediaDirectories{"media", "run/media", "mnt"};
    return std::ranges::any_of(kMediaDirectories, [&](std::string_view media) {
        return PathBelow(drive.mountPoint, Root() / media);
    });
}

std::string EscapeMountField(std::string_view text) {
    std::string escaped;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte == 0x7F || c == '\\') {
            char octal[5];
            std::snprintf(octal, sizeof octal, "\\%03o", byte);
            escaped += octal;
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::string UnescapeMountField(std::string_view text) {
    const auto octal = [](char c) { return c >= '0' && c <= '7'; };
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && octal(text[i + 1]) && octal(text[i + 2]) &&
            octal(text[i + 3])) {
            plain += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 +
                                       (text[i + 3] - '0'));
            i += 3;
        } else {
            plain += text[i];
        }
    }
    return plain;
}

}  // namespace zen
