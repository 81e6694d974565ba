#pragma once

#include <cstdint>
#include <set>
#include <span>
#include <utility>

#include "common/db/py_table.h"
#include "common/db/record_order.h"
#include "platform/shared_file.h"

namespace zen {

// An in-memory ordered set of fixed-size records, kept in the table file "<name>.dat":
// the signature "v2.0\x07" followed by the enciphered records in set order. Every operation
// holds the table's named mutex, so all processes see one file; each returns 1 for success
// and 0 for failure, and does nothing while the table is not open.
// Whether `bytes` can be the whole of a table file: its signature, then records.
bool IsTableImage(std::span<const std::byte> bytes);

template <typename T>
class FastTable : public iPYTable {
public:
    using Set = std::set<T, RecordLess<T>>;

    explicit FastTable(std::string name) : iPYTable(std::move(name)) {}
    ~FastTable() override { Close(); }

    int Open(bool creator) { return OpenMutex(creator); }
    int Load();
    int Save();
    int Insert(const T& record);
    // Copies the record equal to `key` over it.
    int Find(T& key);
    // Copies the first record not less than `key` over it.
    int LowerBound(T& key);
    // Loads again when another process has saved the file since this one last loaded or saved.
    int ReloadIfChanged();
    void Clear();
    void Close();

    // Modification time (seconds) of the file as last loaded or saved; 0 when unknown.
    int64_t FileTime() const { return stamp_.known() ? stamp_.modifiedSeconds() : 0; }

    // Runs `visit(Set&)` under the table mutex (reads, walks and edits of the set); returns its
    // result, or a default value when the table is not open or the mutex cannot be had.
    template <typename Visit>
    auto WithRecords(Visit&& visit) -> decltype(visit(std::declval<Set&>()));

    // A read-modify-write that loses no other process's save: under the table mutex, takes in
    // what was saved meanwhile, applies `edit(Set&)` and saves when it returns true.
    // 1 when edited and saved.
    template <typename Edit>
    int Update(Edit&& edit);

private:
    Set records_;
    FileStamp stamp_;
};

template <typename T>
template <typename Visit>
auto FastTable<T>::WithRecords(Visit&& visit) -> decltype(visit(std::declval<Set&>())) {
    using Result = decltype(visit(std::declval<Set&>()));
    NamedMutexLock lock(mutex_);
    if (!IsOpen() || !lock.owns()) {
        if constexpr (std::is_void_v<Result>) {
            return;
        } else {
            return Result{};
        }
    }
    return visit(records_);
}

template <typename T>
template <typename Edit>
int FastTable<T>::Update(Edit&& edit) {
    NamedMutexLock lock(mutex_);
    if (!IsOpen() || !lock.owns()) {
        return 0;
    }
    ReloadIfChanged();
    return edit(records_) ? Save() : 0;
}

extern template class FastTable<FastUsersRecord>;
extern template class FastTable<FastCustomRecord>;
extern template class FastTable<CustomMessage>;

}  // namespace zen
