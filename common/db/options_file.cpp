#include "common/db/options_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "common/db/data_file_key.h"
#include "common/db/error_log.h"
#include "common/db/machine_id.h"
#include "platform/shared_file.h"

namespace zen {
namespace {

constexpr uint32_t kSerializeFailed = 0x80040404;

int ReportOpenFailure() {
    ShowSysError(kSerializeFailed, "Options::Serialize");
    LogError("Failed to load options, Code: 0x70C2");
    return 0;
}

}  // namespace

bool IsOptionsImage(std::span<const std::byte> bytes) {
    if (bytes.size() != sizeof(Options)) {
        return false;
    }
    Options record;
    std::memcpy(&record, bytes.data(), sizeof record);
    DataFileKey::Decipher(record);
    return std::ranges::all_of(record.reserved2, [](uint8_t byte) { return byte == 0; });
}

std::filesystem::path OptionsFilePath() {
    return HiddenDataFileName(kOptionsSeed);
}

int SerializeOptions(Options& record, bool write, bool missingIsFine, bool quiet,
                     NamedMutex& optionsMutex) {
    NamedMutexLock lock(optionsMutex);
    if (!lock.owns()) {
        return ReportOpenFailure();
    }
    const std::filesystem::path path = OptionsFilePath();
    if (write) {
        Options stored = record;
        DataFileKey::Encipher(stored);
        if (!ReplaceFile(path, std::as_bytes(std::span(&stored, 1)), 0666)) {
            return ReportOpenFailure();
        }
        return 1;
    }
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        if (missingIsFine) {
            return 1;
        }
        if (!quiet) {
            LogError("Failed to load options, Code: 0x70C1");
        }
        return 0;
    }
    UniqueFd fd = OpenSharedFile(path, O_RDONLY);
    if (!fd) {
        return ReportOpenFailure();
    }
    Options stored{};
    if (ReadFully(fd.get(), &stored, sizeof stored) != sizeof stored) {
        if (!quiet) {
            LogError("Failed to load options, Code: 0x70C3");
        }
        return 0;
    }
    DataFileKey::Decipher(stored);
    record = stored;
    return 1;
}

}  // namespace zen
