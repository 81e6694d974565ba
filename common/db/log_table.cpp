#include "common/db/log_table.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "common/db/data_file_key.h"
#include "common/db/error_log.h"
#include "platform/shared_file.h"

namespace zen {

struct DBLogTable::Header {
    char16_t signature[4];
    uint32_t zero;
    int32_t head;
    int32_t tail;
    int32_t free;
};

namespace {

constexpr char16_t kSignature[4] = u"CS1";
constexpr int64_t kHeaderSize = 24;
constexpr int32_t kNone = -1;
constexpr uint32_t kBadLog = 0x80070804;

// Every account can open the log mutexes, so a process that sits on one must not stop the
// service's enforcement for good: a log operation gives up after this wait.
constexpr std::chrono::milliseconds kLockWait{10'000};

// Whole-buffer positional transfers over an iovec list; a short count at the end of the file
// is a failure (ENODATA).
template <auto Call>
bool TransferAll(int fd, iovec* parts, int count, int64_t offset) {
    while (count > 0) {
        const ssize_t done = Call(fd, parts, count, offset);
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            if (done == 0) {
                errno = ENODATA;
            }
            return false;
        }
        offset += done;
        for (auto left = static_cast<std::size_t>(done); left > 0;) {
            const std::size_t step = std::min(left, parts->iov_len);
            parts->iov_base = static_cast<std::byte*>(parts->iov_base) + step;
            parts->iov_len -= step;
            left -= step;
            if (parts->iov_len == 0) {
                ++parts;
                --count;
            }
        }
    }
    return true;
}

bool ReadAt(int fd, void* buffer, std::size_t size, int64_t offset) {
    iovec part{buffer, size};
    return TransferAll<::preadv>(fd, &part, 1, offset);
}

bool WriteAt(int fd, const void* buffer, std::size_t size, int64_t offset) {
    iovec part{const_cast<void*>(buffer), size};
    return TransferAll<::pwritev>(fd, &part, 1, offset);
}

bool Locked(const NamedMutexLock& lock, const std::string& name) {
    if (!lock.owns()) {
        LogError("Unable to take the mutex %s", name.c_str());
    }
    return lock.owns();
}

}  // namespace

DBLogTable::Header DBLogTable::FreshHeader() {
    static_assert(sizeof(Header) == kHeaderSize);
    Header header{};
    std::memcpy(header.signature, kSignature, sizeof kSignature);
    header.head = header.tail = header.free = kNone;
    return header;
}

std::vector<std::byte> DBLogTable::EmptyImage() {
    const Header header = FreshHeader();
    const auto bytes = std::as_bytes(std::span(&header, 1));
    return {bytes.begin(), bytes.end()};
}

bool DBLogTable::IsLogImage(std::span<const std::byte> bytes) {
    return bytes.size() >= kHeaderSize &&
           std::memcmp(bytes.data(), kSignature, sizeof kSignature) == 0;
}

int DBLogTable::ReopenIfReplaced() {
    if (!IsOpen()) {
        return 0;
    }
    const FileStamp open = StampOf(file_.get());
    if (open.device != opened_.device || open.inode != opened_.inode) {
        // The number no longer holds our file: the program we are loaded into closed it and
        // opened something of its own there. Forget the number; closing it would destroy that.
        static_cast<void>(file_.release());
        return OpenFile();
    }
    const FileStamp named = StampOf(FilePath());
    if (named.known() && named.device == open.device && named.inode == open.inode) {
        return 1;
    }
    return named.known() ? OpenFile() : 0;
}

DBLogTable::DBLogTable(std::string name, uint32_t recordSize)
    : iPYTable(std::move(name)), recordSize_(recordSize) {}

DBLogTable::~DBLogTable() {
    Close();
}

int DBLogTable::Open(bool creator, const uint32_t* sizeLimitKb, NamedMutex* optionsMutex) {
    Close();
    if (!OpenMutex(creator)) {
        return 0;
    }
    sizeLimitKb_ = sizeLimitKb;
    optionsMutex_ = optionsMutex;
    const int opened = OpenFile();
    if (!opened) {
        Close();
    }
    return opened;
}

int DBLogTable::OpenFile() {
    NamedMutexLock lock(mutex_, kLockWait);
    if (!Locked(lock, name_)) {
        return 0;
    }
    cursor_ = -1;
    const std::string file = FilePath().string();
    file_ = OpenSharedFile(FilePath(), O_RDWR | (create_ != 0 ? O_CREAT : 0), 0666);
    if (!file_) {
        ShowSysError(0, file);
        LogError("Unable to open the %s (log)", name_.c_str());
        return 0;
    }
    opened_ = StampOf(file_.get());
    Header header;
    int64_t size = 0;
    if (!HeaderCheck(header, size)) {
        ShowSysError(kBadLog, file);
        LogError("Unable to open the %s (log)", name_.c_str());
        return 0;
    }
    return 1;
}

void DBLogTable::Close() {
    if (file_) {
        NamedMutexLock lock(mutex_, kLockWait);
        ::fdatasync(file_.get());
        file_.reset();
    }
    cursor_ = -1;
    CloseMutex();
}

bool DBLogTable::IsSlot(int64_t offset, int64_t fileSize) const {
    return offset >= kHeaderSize && (offset - kHeaderSize) % SlotStride() == 0 &&
           offset + SlotStride() <= fileSize;
}

int DBLogTable::FileSize(int64_t& size) {
    size = ::lseek(file_.get(), 0, SEEK_END);
    return size < 0 ? ShowSysError(0, "SetFilePointer") : 1;
}

int DBLogTable::HeaderCheck(Header& header, int64_t& size) {
    if (!FileSize(size)) {
        return 0;
    }
    if (size == 0) {
        if (create_ == 0) {
            return 0;
        }
        header = FreshHeader();
        if (!WriteHeader(header)) {
            return 0;
        }
        size = kHeaderSize;
    }
    if (!ReadAt(file_.get(), &header, sizeof header, 0)) {
        return ShowSysError(0, "ReadFile");
    }
    return std::memcmp(header.signature, kSignature, sizeof kSignature) == 0 ? 1 : 0;
}

// HeaderCheck, and the chain's ends must make sense before anything follows them: head and
// tail are both slots or both none. The free list is checked by the append, its only user.
int DBLogTable::LoadHeader(Header& header, int64_t& fileSize) {
    if (!IsOpen()) {
        return 0;
    }
    if (!HeaderCheck(header, fileSize)) {
        return ShowSysError(kBadLog, FilePath().string());
    }
    const auto slotOrNone = [&](int32_t offset) {
        return offset == kNone || IsSlot(offset, fileSize);
    };
    if (!slotOrNone(header.head)) {
        return BadChain("head", header.head);
    }
    if (!slotOrNone(header.tail) || (header.head == kNone) != (header.tail == kNone)) {
        return BadChain("tail", header.tail);
    }
    return 1;
}

int DBLogTable::WriteHeader(const Header& header) {
    return WriteAt(file_.get(), &header, sizeof header, 0) ? 1 : ShowSysError(0, "WriteFile");
}

// Reads the next offset of `slot`, which must itself be another slot or none.
int DBLogTable::ReadNext(int64_t slot, int64_t fileSize, int32_t& next) {
    if (!ReadAt(file_.get(), &next, sizeof next, slot + recordSize_)) {
        return ShowSysError(0, "ReadFile");
    }
    if (next != kNone && (next == slot || !IsSlot(next, fileSize))) {
        return BadChain("next", next);
    }
    return 1;
}

int DBLogTable::WriteNext(int64_t slot, int32_t next) {
    return WriteAt(file_.get(), &next, sizeof next, slot + recordSize_)
               ? 1
               : ShowSysError(0, "WriteFile");
}

int DBLogTable::Flush() {
    return ::fdatasync(file_.get()) == 0 ? 1 : ShowSysError(0, "FlushFileBuffers");
}

int DBLogTable::BadChain(const char* what, int64_t offset) {
    ShowSysError(kBadLog, FilePath().string());
    LogError("Bad chain in the %s (log): %s offset %lld", name_.c_str(), what,
             static_cast<long long>(offset));
    return 0;
}

int DBLogTable::LogAppend(std::span<std::byte> record) {
    NamedMutexLock lock(mutex_, kLockWait);
    if (!IsOpen() || !Locked(lock, name_) || sizeLimitKb_ == nullptr || optionsMutex_ == nullptr ||
        record.size() != recordSize_) {
        return 0;
    }
    NamedMutexLock optionsLock(*optionsMutex_, kLockWait);
    if (!Locked(optionsLock, optionsMutex_->Name())) {
        return 0;
    }
    Header header;
    int64_t size = 0;
    if (!LoadHeader(header, size) && !RepairChainEnds(header, size)) {
        return 0;
    }
    // At the limit the oldest record makes room; when a corrupt chain keeps it from going, the
    // append fails rather than grow the file past its limit. Offsets are 32-bit, so no limit
    // reaches past them.
    const int64_t limit = std::min<int64_t>(int64_t{*sizeLimitKb_} * 1024, INT32_MAX);
    if (size >= limit && header.head != kNone &&
        (!RemoveOldest(false) || !LoadHeader(header, size))) {
        return 0;
    }
    cursor_ = -1;

    // A new slot goes at the end of the last whole slot, over any piece a crash left behind.
    int64_t slot = kHeaderSize + (size - kHeaderSize) / SlotStride() * SlotStride();
    int32_t nextFree = kNone;
    if (header.free != kNone) {
        if (!IsSlot(header.free, size) || header.free == header.head ||
            header.free == header.tail) {
            BadChain("free", header.free);
            if (!RepairChainEnds(header, size)) {
                return 0;
            }
        }
    }
    if (header.free != kNone) {
        slot = header.free;
        if (!ReadNext(slot, size, nextFree)) {
            return 0;
        }
    }
    if (slot > INT32_MAX) {
        return BadChain("end", slot);
    }

    // The slot is filled before anything points to it, so a crash at any step leaves a chain
    // that the next append completes.
    DataFileKey::Encipher(record);
    int32_t end = kNone;
    iovec parts[] = {{record.data(), record.size()}, {&end, sizeof end}};
    if (!TransferAll<::pwritev>(file_.get(), parts, 2, slot)) {
        return ShowSysError(0, "WriteFile");
    }
    if (header.tail != kNone && !WriteNext(header.tail, static_cast<int32_t>(slot))) {
        return 0;
    }
    header.free = nextFree;
    header.tail = static_cast<int32_t>(slot);
    if (header.head == kNone) {
        header.head = header.tail;
    }
    return WriteHeader(header) && Flush();
}

// A power cut can keep the header's last write and lose the slots it points to, and every
// append would then be refused. The chain is kept from the head for as long as it stays
// within the file; the rest of it and the free list are given up.
int DBLogTable::RepairChainEnds(Header& header, int64_t& fileSize) {
    if (!HeaderCheck(header, fileSize)) {
        return 0;
    }
    Header repaired = FreshHeader();
    const int64_t slots = (fileSize - kHeaderSize) / SlotStride();
    int64_t slot = IsSlot(header.head, fileSize) ? header.head : kNone;
    for (int64_t walked = 0; slot != kNone && walked < slots; ++walked) {
        if (repaired.head == kNone) {
            repaired.head = static_cast<int32_t>(slot);
        }
        repaired.tail = static_cast<int32_t>(slot);
        int32_t next = kNone;
        if (slot == header.tail || !ReadAt(file_.get(), &next, sizeof next, slot + recordSize_) ||
            next == slot || !IsSlot(next, fileSize)) {
            break;
        }
        slot = next;
    }
    if (repaired.tail != kNone && !WriteNext(repaired.tail, kNone)) {
        return 0;
    }
    LogError("Repaired the chain of the %s (log)", name_.c_str());
    header = repaired;
    return WriteHeader(header) && Flush();
}

int DBLogTable::LogRemoveOldest() {
    return RemoveOldest(true);
}

// An append that makes room flushes once for both steps.
int DBLogTable::RemoveOldest(bool flush) {
    NamedMutexLock lock(mutex_, kLockWait);
    Header header;
    int64_t size = 0;
    if (!IsOpen() || !Locked(lock, name_) || !LoadHeader(header, size) || header.head == kNone) {
        return 0;
    }
    cursor_ = -1;
    int32_t next = kNone;
    if (!ReadNext(header.head, size, next)) {
        return 0;
    }
    // Only the newest record ends the chain.
    if ((next == kNone) != (header.head == header.tail)) {
        return BadChain("next", next);
    }
    if (!WriteNext(header.head, header.free)) {
        return 0;
    }
    header.free = header.head;
    header.head = next;
    if (next == kNone) {
        header.tail = kNone;
    }
    return WriteHeader(header) && (!flush || Flush());
}

int DBLogTable::LogFirst() {
    NamedMutexLock lock(mutex_, kLockWait);
    Header header;
    int64_t size = 0;
    cursor_ = -1;
    if (!IsOpen() || !Locked(lock, name_) || !LoadHeader(header, size)) {
        return 0;
    }
    cursor_ = header.head;
    walked_ = 0;
    return cursor_ != kNone ? 1 : 0;
}

int DBLogTable::LogNext(std::span<std::byte> record) {
    if (cursor_ == kNone || record.size() != recordSize_) {
        return 0;
    }
    NamedMutexLock lock(mutex_, kLockWait);
    Header header;
    int64_t size = 0;
    if (!Locked(lock, name_) || !LoadHeader(header, size)) {
        cursor_ = -1;
        return 0;
    }
    // The file may have been cleared since the cursor was read.
    if (!IsSlot(cursor_, size)) {
        cursor_ = -1;
        return 0;
    }
    // A chain longer than the file has slots goes round in a circle.
    if (++walked_ > (size - kHeaderSize) / SlotStride()) {
        const int64_t at = cursor_;
        cursor_ = -1;
        return BadChain("loop at", at);
    }
    int32_t next = kNone;
    iovec parts[] = {{record.data(), record.size()}, {&next, sizeof next}};
    if (!TransferAll<::preadv>(file_.get(), parts, 2, cursor_)) {
        cursor_ = -1;
        return ShowSysError(0, "ReadFile");
    }
    // The newest record ends the walk whatever its next says; otherwise the record read is
    // good and a bad next offset only ends the walk after it.
    if (cursor_ == header.tail) {
        next = kNone;
    } else if (next != kNone && (next == cursor_ || !IsSlot(next, size))) {
        BadChain("next", next);
        next = kNone;
    }
    cursor_ = next;
    DataFileKey::Decipher(record);
    return 1;
}

int DBLogTable::Clear() {
    NamedMutexLock lock(mutex_, kLockWait);
    if (!IsOpen() || !Locked(lock, name_)) {
        return 0;
    }
    cursor_ = -1;
    if (::ftruncate(file_.get(), 0) != 0) {
        return ShowSysError(0, "SetEndOfFile");
    }
    return WriteHeader(FreshHeader()) && Flush();
}

}  // namespace zen
