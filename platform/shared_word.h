#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zen {

// A 64-bit word shared by every process that opens the same named object of the run
// directory. Used as a generation count: a writer bumps it, and a reader that remembers the
// value it saw knows nothing was written since while the value is unchanged.
class SharedWord {
public:
    SharedWord() = default;
    ~SharedWord();
    SharedWord(const SharedWord&) = delete;
    SharedWord& operator=(const SharedWord&) = delete;

    // Creates or opens the object `name`, as every named object is (every account may use
    // it); false when it cannot be had.
    bool Open(std::string_view name);
    void Close();
    bool IsOpen() const { return shared_ != nullptr; }

    uint64_t Load() const;
    // Adds one; returns the new value.
    uint64_t Bump();

    // Maps the object again when its file was replaced, cut short or damaged; false when the
    // object cannot be had. True in `replaced` when it was mapped again.
    bool Refresh(bool* replaced = nullptr);

private:
    struct Shared;
    Shared* shared_ = nullptr;
    std::string name_;
    uint64_t device_ = 0;
    uint64_t inode_ = 0;
};

}  // namespace zen
