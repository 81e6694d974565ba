// Loads arbitrary bytes as each of the three table files and walks what comes out, looking
// every record up again so that the ordering meets hostile keys too. The first input byte
// chooses the file: even, the rest of the input as it is; odd, a well-formed table whose
// records are the rest of the input cut at each '\n' (zero-filled, enciphered), so that
// short inputs already reach the record keys in clear.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "common/db/data_file_key.h"
#include "common/db/fast_table.h"
#include "platform/root.h"
#include "platform/unique_fd.h"

namespace zen {
namespace {

// The file stays open for the whole run and is rewritten in place: a file truncated to
// nothing and closed makes the file system flush it, which would hold every run to the
// speed of the disk.
class RewrittenFile {
public:
    explicit RewrittenFile(const std::filesystem::path& path)
        : fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666)) {
        if (!fd_) {
            std::abort();
        }
    }

    void Hold(std::span<const uint8_t> bytes) {
        if (::ftruncate(fd_.get(), static_cast<off_t>(bytes.size())) != 0 ||
            ::pwrite(fd_.get(), bytes.data(), bytes.size(), 0) !=
                static_cast<ssize_t>(bytes.size())) {
            std::abort();
        }
    }

private:
    UniqueFd fd_;
};

template <typename T>
class LoadedTable {
public:
    explicit LoadedTable(const char* name) : table_(name), file_(table_.FilePath()) {
        if (table_.Open(false) != 1) {
            std::abort();
        }
    }

    void Run(std::span<const uint8_t> input) {
        if (input.empty()) {
            return;
        }
        file_.Hold((input[0] & 1) == 0 ? input.subspan(1) : WellFormed(input.subspan(1)));
        table_.Load();
        table_.WithRecords([this](auto& records) {
            for (T record : records) {
                Look(record);
            }
        });
    }

private:
    std::span<const uint8_t> WellFormed(std::span<const uint8_t> pieces) {
        bytes_.assign({0x76, 0x32, 0x2E, 0x30, 0x07});
        for (std::size_t start = 0; start <= pieces.size();) {
            std::size_t end = start;
            while (end < pieces.size() && pieces[end] != '\n') {
                ++end;
            }
            T record{};
            std::memcpy(&record, pieces.data() + start, std::min(end - start, sizeof record));
            DataFileKey::Encipher(record);
            const auto* raw = reinterpret_cast<const uint8_t*>(&record);
            bytes_.insert(bytes_.end(), raw, raw + sizeof record);
            start = end + 1;
        }
        return bytes_;
    }

    void Look(T& key) {
        if constexpr (std::is_same_v<T, FastUsersRecord>) {
            table_.Find(key);
        } else {
            table_.LowerBound(key);
        }
    }

    FastTable<T> table_;
    RewrittenFile file_;
    std::vector<uint8_t> bytes_;
};

}  // namespace
}  // namespace zen

// Rejected inputs are logged, and the error log flushes every line to disk; that durability
// is not under test here.
extern "C" int fdatasync(int) {
    return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Never write the real data directory.
    if (zen::Env().onMachine || !zen::EnsureSharedDirectories()) {
        std::fprintf(stderr, "fuzz_table_load needs ZEN_ROOT set to a scratch directory\n");
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static zen::LoadedTable<zen::FastUsersRecord> users("ZenUsr");
    static zen::LoadedTable<zen::FastCustomRecord> customs("ZenCtb");
    static zen::LoadedTable<zen::CustomMessage> messages("ZenMsg");
    static unsigned runs = 0;
    if (++runs % 4096 == 0) {
        ::truncate(zen::paths::ErrorLog().c_str(), 0);  // keeps a long run from filling the disk
    }
    const std::span<const uint8_t> input(data, size);
    users.Run(input);
    customs.Run(input);
    messages.Run(input);
    return 0;
}
