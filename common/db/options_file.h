#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

#include "common/db/records.h"
#include "platform/named_mutex.h"

namespace zen {

inline constexpr uint32_t kOptionsSeed = 9318;

// The hidden options file of this machine.
std::filesystem::path OptionsFilePath();

// Reads or writes the options record (1944 bytes, enciphered but for its last 8), holding the
// options mutex throughout. Reading a missing file succeeds and leaves the record as it is
// when `missingIsFine`, else fails (logged unless `quiet`). A file shorter than the record
// fails to read and changes nothing: taking defaults for what is missing would drop the
// administrator password of a file someone emptied. A write replaces the file at once.
// Whether `bytes` can be a whole options file: a record of the right size whose reserved
// bytes, which this system always writes as zeros, read as zeros.
bool IsOptionsImage(std::span<const std::byte> bytes);

int SerializeOptions(Options& record, bool write, bool missingIsFine, bool quiet,
                     NamedMutex& optionsMutex);

}  // namespace zen
