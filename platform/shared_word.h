#pragma once

#include <cstdint>
#include <filesystem>

namespace zen {

// A 64-bit word shared by every process that maps the same small file of the run directory.
// Used as a generation count: a writer bumps it, and a reader that remembers the value it
// saw knows nothing was written since while the value is unchanged.
class SharedWord {
public:
    SharedWord() = default;
    ~SharedWord();
    SharedWord(const SharedWord&) = delete;
    SharedWord& operator=(const SharedWord&) = delete;

    // Creates (mode 0666) or opens the file; false when it cannot be had. Links, files with
    // several names and anything else than a regular file are refused.
    bool Open(const std::filesystem::path& path);
    void Close();
    bool IsOpen() const { return word_ != nullptr; }

    uint64_t Load() const;
    // Adds one; returns the new value.
    uint64_t Bump();

private:
    uint64_t* word_ = nullptr;
};

}  // namespace zen
