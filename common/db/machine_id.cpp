#include "common/db/machine_id.h"

#include <sys/utsname.h>

#include <cstdio>
#include <mutex>

#include "platform/root.h"
#include "platform/shared_file.h"

namespace zen {
namespace {

uint32_t Weight(char c) {
    if (c >= '1' && c <= '9') {
        return static_cast<uint32_t>(c - '0');
    }
    if (c >= 'A' && c <= 'Z') {
        return static_cast<uint32_t>(c - 'A') + 10;
    }
    if (c >= 'a' && c <= 'z') {
        return static_cast<uint32_t>(c - 'a') + 10;
    }
    return 0;
}

uint32_t KernelVersionWord() {
    struct utsname name {};
    unsigned major = 0;
    unsigned minor = 0;
    if (::uname(&name) == 0) {
        std::sscanf(name.release, "%u.%u", &major, &minor);
    }
    return (major & 0xFF) | (minor & 0xFF) << 8;
}

}  // namespace

uint32_t FoldSerial(std::string_view serial) {
    if (serial.starts_with("WD-W")) {
        serial.remove_prefix(std::min<std::size_t>(5, serial.size()));
    }
    uint32_t raw = 0;
    for (const char c : serial) {
        if (c != '-') {
            raw = raw * 10 + Weight(c);
        }
    }
    return raw;
}

uint32_t MachineIdFrom(std::optional<std::string_view> serial, uint32_t versionWord) {
    uint32_t raw = serial ? FoldSerial(*serial) : 0;
    if (raw == 0) {
        raw = versionWord;
    }
    return ~raw >> 1;
}

uint32_t MachineId() {
    // Computed once per root: tests move the root within one process.
    static std::mutex guard;
    static std::string cachedRoot;
    static std::optional<uint32_t> cached;
    const std::string root = Root().string();
    std::lock_guard lock(guard);
    if (!cached || root != cachedRoot) {
        const std::optional<std::string> serial = ReadFirstLine(paths::MachineIdFile());
        cached = MachineIdFrom(serial, KernelVersionWord());
        cachedRoot = root;
    }
    return *cached;
}

std::string HiddenNameCharacters(uint32_t seed, uint32_t machineId) {
    uint32_t state = seed + machineId;
    std::string name;
    for (int draw = 0; draw < 100 && name.size() < 6; ++draw) {
        state = state * 214013u + 2531011u;
        const uint32_t r = (state >> 16) & 0x7FFF;
        const uint32_t c = ((r + 48) * 122) / 32815;
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            name.push_back(static_cast<char>(c));
        }
    }
    return name;
}

std::filesystem::path HiddenDataFileName(uint32_t seed) {
    return paths::DataDir() / ("zen" + HiddenNameCharacters(seed, MachineId()) + ".dat");
}

}  // namespace zen
