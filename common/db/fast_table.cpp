#include "common/db/fast_table.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

#include "common/db/data_file_key.h"
#include "common/db/error_log.h"

namespace zen {
namespace {

constexpr std::array<std::byte, 5> kSignature{std::byte{0x76}, std::byte{0x32}, std::byte{0x2E},
                                              std::byte{0x30}, std::byte{0x07}};
constexpr uint32_t kBadFileFormat = 0x80070805;
// Tables hold tens to hundreds of records. Anything far larger is not a table of ours, and
// reading it (a sparse file of a terabyte costs nothing to plant in the shared directory)
// would keep every process at it with the table mutex held.
constexpr std::size_t kMaxTableBytes = std::size_t{16} << 20;

}  // namespace

bool IsTableImage(std::span<const std::byte> bytes) {
    return bytes.size() >= kSignature.size() && bytes.size() <= kMaxTableBytes &&
           std::equal(kSignature.begin(), kSignature.end(), bytes.begin());
}

template <typename T>
int FastTable<T>::Load() {
    NamedMutexLock lock(mutex_);
    if (!IsOpen() || !lock.owns()) {
        return 0;
    }
    UniqueFd fd = OpenSharedFile(FilePath(), O_RDONLY);
    if (!fd) {
        if (create_ == 0) {
            LogError("Unable to open the %s", name_.c_str());
            return 0;
        }
        return Save();
    }
    records_.clear();
    std::array<std::byte, kSignature.size()> signature{};
    if (ReadFully(fd.get(), signature.data(), signature.size()) != signature.size() ||
        signature != kSignature || StampOf(fd.get()).size > int64_t{kMaxTableBytes}) {
        return ShowSysError(kBadFileFormat, "Bad File Format");
    }
    // A short trailing piece is ignored; records equal under the order keep the first read.
    // The limit holds even for a file that grows while it is read.
    constexpr std::size_t kBatch = 64;
    std::vector<std::byte> buffer(kBatch * sizeof(T));
    for (std::size_t left = kMaxTableBytes - kSignature.size();;) {
        const std::size_t got = ReadFully(fd.get(), buffer.data(), std::min(buffer.size(), left));
        left -= got;
        for (std::size_t offset = 0; offset + sizeof(T) <= got; offset += sizeof(T)) {
            T record;
            std::memcpy(&record, buffer.data() + offset, sizeof(T));
            DataFileKey::Decipher(record);
            records_.insert(record);
        }
        if (got < buffer.size()) {
            break;
        }
    }
    stamp_ = StampOf(fd.get());
    return 1;
}

template <typename T>
int FastTable<T>::Save() {
    NamedMutexLock lock(mutex_);
    if (!IsOpen() || !lock.owns()) {
        return 0;
    }
    std::vector<std::byte> bytes(kSignature.size() + records_.size() * sizeof(T));
    std::memcpy(bytes.data(), kSignature.data(), kSignature.size());
    std::byte* out = bytes.data() + kSignature.size();
    for (const T& record : records_) {
        T copy = record;
        DataFileKey::Encipher(copy);
        std::memcpy(out, &copy, sizeof(T));
        out += sizeof(T);
    }
    FileStamp stamp;
    if (!ReplaceFile(FilePath(), bytes, 0666, &stamp)) {
        return 0;
    }
    stamp_ = stamp;
    return 1;
}

template <typename T>
int FastTable<T>::Insert(const T& record) {
    return WithRecords([&](Set& records) { return records.insert(record).second ? 1 : 0; });
}

template <typename T>
int FastTable<T>::Find(T& key) {
    return WithRecords([&](Set& records) {
        const auto found = records.find(key);
        if (found == records.end()) {
            return 0;
        }
        key = *found;
        return 1;
    });
}

template <typename T>
int FastTable<T>::LowerBound(T& key) {
    return WithRecords([&](Set& records) {
        const auto found = records.lower_bound(key);
        if (found == records.end()) {
            return 0;
        }
        key = *found;
        return 1;
    });
}

template <typename T>
int FastTable<T>::ReloadIfChanged() {
    const FileStamp now = StampOf(FilePath());
    if (!now.known() || now == stamp_) {
        return 0;
    }
    return Load();
}

template <typename T>
void FastTable<T>::Clear() {
    WithRecords([](Set& records) { records.clear(); });
}

template <typename T>
void FastTable<T>::Close() {
    {
        NamedMutexLock lock(mutex_);
        records_.clear();
    }
    stamp_ = FileStamp{};
    CloseMutex();
}

template class FastTable<FastUsersRecord>;
template class FastTable<FastCustomRecord>;
template class FastTable<CustomMessage>;

}  // namespace zen
