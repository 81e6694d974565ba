#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zen {

// The per-machine number behind the hidden file names. Its source is the machine's
// identifier (etc/machine-id under the root), which survives kernel updates; when that is
// missing or folds to 0, the kernel's version word (major | minor << 8) stands in.
uint32_t MachineId();

// The parts, for callers that know their inputs.
uint32_t FoldSerial(std::string_view serial);
uint32_t MachineIdFrom(std::optional<std::string_view> serial, uint32_t versionWord);

// The six (at most) letters and digits drawn for a seed on a machine.
std::string HiddenNameCharacters(uint32_t seed, uint32_t machineId);

// "<data dir>/zen<characters>.dat": the same name in every process of one machine, and
// nothing in it tells what the file holds.
std::filesystem::path HiddenDataFileName(uint32_t seed);

}  // namespace zen
