#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/db/py_table.h"
#include "platform/shared_file.h"
#include "platform/unique_fd.h"

namespace zen {

// A size-bounded log of fixed-size enciphered records, "<name>.dat" in the data directory:
// a 24-byte header ("CS1", head, tail, free) and slots of R record bytes plus a 32-bit next
// offset, chained oldest to newest; once the file reaches its size limit each append reuses
// the oldest slot. Every operation holds the log's named mutex; 1 for success, 0 for failure.
class DBLogTable : public iPYTable {
public:
    DBLogTable(std::string name, uint32_t recordSize);
    ~DBLogTable() override;

    // `sizeLimitKb` is read at every append, so a changed option takes effect at once;
    // `optionsMutex` is held with the log's own mutex while appending (in that order).
    int Open(bool creator, const uint32_t* sizeLimitKb, NamedMutex* optionsMutex);
    // Appends a clear record of RecordSize() bytes; enciphers the caller's buffer in place.
    int LogAppend(std::span<std::byte> record);
    int LogRemoveOldest();
    // Readers call LogFirst once, then LogNext until it returns 0: oldest record first.
    int LogFirst();
    int LogNext(std::span<std::byte> record);
    // Empties the log to a fresh header.
    int Clear();
    void Close();

    uint32_t RecordSize() const { return recordSize_; }

    // Opens the file again when its name now leads to another file (it was replaced), so that
    // appends reach the file every other process sees. 1 when the open file is the named one.
    int ReopenIfReplaced();

    // The bytes of an empty log file, and whether `bytes` can start a log file.
    static std::vector<std::byte> EmptyImage();
    static bool IsLogImage(std::span<const std::byte> bytes);

private:
    struct Header;

    int64_t SlotStride() const { return int64_t{recordSize_} + 4; }
    static Header FreshHeader();
    int OpenFile();
    int RemoveOldest(bool flush);
    bool IsSlot(int64_t offset, int64_t fileSize) const;
    int HeaderCheck(Header& header, int64_t& fileSize);
    int LoadHeader(Header& header, int64_t& fileSize);
    int WriteHeader(const Header& header);
    int ReadNext(int64_t slot, int64_t fileSize, int32_t& next);
    int WriteNext(int64_t slot, int32_t next);
    int FileSize(int64_t& size);
    int Flush();
    int BadChain(const char* what, int64_t offset);
    int RepairChainEnds(Header& header, int64_t& fileSize);

    uint32_t recordSize_;
    UniqueFd file_;
    FileStamp opened_;  // the file file_ held when it was opened
    int64_t cursor_ = -1;
    int64_t walked_ = 0;  // records LogNext has read since LogFirst
    const uint32_t* sizeLimitKb_ = nullptr;
    NamedMutex* optionsMutex_ = nullptr;
};

}  // namespace zen
