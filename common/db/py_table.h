#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/named_mutex.h"

namespace zen {

// What every stored table and log has: a name, which is also the name of its mutex and the
// stem of its file, the named mutex itself, and the creator and open flags.
class iPYTable {
public:
    explicit iPYTable(std::string name) : name_(std::move(name)) {}
    virtual ~iPYTable() = default;
    iPYTable(const iPYTable&) = delete;
    iPYTable& operator=(const iPYTable&) = delete;

    const std::string& Name() const { return name_; }
    bool IsOpen() const { return open_ != 0; }
    std::filesystem::path FilePath() const;
    NamedMutex& Mutex() { return mutex_; }

protected:
    // Creates or opens the table's mutex and records the creator role; reports a failure to
    // the error log and leaves the table closed.
    int OpenMutex(bool creator);
    void CloseMutex();

    std::string name_;
    NamedMutex mutex_;
    uint32_t create_ = 0;
    uint32_t open_ = 0;
};

}  // namespace zen
