#include "common/db/usage_state.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "common/db/error_log.h"
#include "common/db/machine_id.h"
#include "platform/clock.h"
#include "platform/root.h"
#include "platform/shared_file.h"
#include "platform/shared_word.h"

namespace zen {
namespace fs = std::filesystem;

namespace {

constexpr std::chrono::milliseconds kStateWait{10'000};
constexpr char kGenerationFile[] = "zen-usage.gen";
// A process keeps the counters of a few users; more than this and it starts afresh.
constexpr std::size_t kMaxRemembered = 64;

int ReadCounter(const fs::path& path, UsageCounterFile& out, bool reportMissing) {
    UniqueFd fd = OpenSharedFile(path, O_RDONLY);
    if (!fd) {
        if (reportMissing || errno != ENOENT) {
            ShowSysError(0, path.string());
            LogError("Failed to load state data file, Code: 0x0C9");
        }
        return 0;
    }
    // One byte more than the record tells a longer file from a whole one.
    std::byte bytes[sizeof(UsageCounterFile) + 1];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = ::read(fd.get(), bytes + got, sizeof bytes - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    if (got != sizeof(UsageCounterFile)) {
        return 0;
    }
    std::memcpy(&out, bytes, sizeof out);
    return 1;
}

bool WriteCounter(const fs::path& path, const UsageCounterFile& counter) {
    if (ReplaceFile(path, std::as_bytes(std::span(&counter, 1)), 0666)) {
        return true;
    }
    ShowSysError(0, path.string());
    LogError("Failed to save state data file, Code: 0x0C9");
    return false;
}

// The counters this process last read or wrote, each with the generation it was valid at.
// Only used while holding the state mutex, under which every process bumps the generation
// before it replaces a counter file.
class RememberedCounters {
public:
    // Never destroyed: threads of the process may still check limits while it exits.
    static RememberedCounters& Instance() {
        static RememberedCounters& instance = *new RememberedCounters;
        return instance;
    }

    fs::path FileName(uint32_t fileSeed) {
        std::lock_guard guard(mutex_);
        return EntryFor(fileSeed).path;
    }

    UsageRead Read(uint32_t fileSeed, bool guarded, bool reportMissing) {
        std::lock_guard guard(mutex_);
        Entry& entry = EntryFor(fileSeed);
        if (guarded && entry.remembered && generation_.IsOpen() &&
            generation_.Load() == entry.generation) {
            return entry.read;
        }
        UsageRead read;
        read.loaded = ReadCounter(entry.path, read.counter, reportMissing) != 0;
        Remember(entry, guarded, read);
        return read;
    }

    int Load(uint32_t fileSeed, UsageCounterFile& out, bool guarded) {
        std::lock_guard guard(mutex_);
        Entry& entry = EntryFor(fileSeed);
        UsageRead read;
        read.loaded = ReadCounter(entry.path, read.counter, true) != 0;
        Remember(entry, guarded, read);
        if (read.loaded) {
            out = read.counter;
        }
        return read.loaded ? 1 : 0;
    }

    int Save(uint32_t fileSeed, const UsageCounterFile& counter, bool guarded) {
        std::lock_guard guard(mutex_);
        Entry& entry = EntryFor(fileSeed);
        // Bumped before the file changes: a writer that dies in between leaves others
        // reading the file again, never trusting what they remember.
        OpenGeneration();
        if (generation_.IsOpen()) {
            generation_.Bump();
        }
        entry.remembered = false;
        if (!WriteCounter(entry.path, counter)) {
            return 0;
        }
        Remember(entry, guarded, UsageRead{counter, true});
        return 1;
    }

    // The generation's file may have been replaced or cut: then it is mapped again, and
    // nothing remembered against the old one is trusted.
    void RefreshGeneration() {
        std::lock_guard guard(mutex_);
        bool replaced = false;
        if (generation_.IsOpen() && generation_.Refresh(&replaced) && replaced) {
            entries_.clear();
        }
    }

    // A holder of the state mutex died: what any process remembers may be out of date.
    void ForgetEverywhere() {
        std::lock_guard guard(mutex_);
        FollowRoot();
        OpenGeneration();
        if (generation_.IsOpen()) {
            generation_.Bump();
        }
        entries_.clear();
    }

private:
    struct Entry {
        uint32_t fileSeed = 0;
        fs::path path;
        bool remembered = false;
        uint64_t generation = 0;
        UsageRead read;
    };

    // Tests move between roots within one process; nothing remembered crosses them.
    void FollowRoot() {
        const fs::path root = Root();
        if (root.native() != root_) {
            root_ = root.native();
            entries_.clear();
            generation_.Close();
        }
    }

    void OpenGeneration() {
        if (!generation_.IsOpen()) {
            generation_.Open(kGenerationFile);
        }
    }

    Entry& EntryFor(uint32_t fileSeed) {
        FollowRoot();
        for (Entry& entry : entries_) {
            if (entry.fileSeed == fileSeed) {
                return entry;
            }
        }
        if (entries_.size() >= kMaxRemembered) {
            entries_.clear();
        }
        OpenGeneration();
        return entries_.emplace_back(Entry{fileSeed, HiddenDataFileName(fileSeed), false, 0, {}});
    }

    // The generation is read while the state mutex is held, so no save can fall between it
    // and the read or write it vouches for.
    void Remember(Entry& entry, bool guarded, const UsageRead& read) {
        entry.remembered = guarded && generation_.IsOpen();
        if (entry.remembered) {
            entry.generation = generation_.Load();
            entry.read = read;
        }
    }

    std::mutex mutex_;
    std::string root_;
    SharedWord generation_;
    std::vector<Entry> entries_;
};

}  // namespace

StateLock::StateLock(NamedMutex& stateMutex, const char* operation)
    : lock_(stateMutex, kStateWait) {
    if (lock_.result() == LockResult::Abandoned) {
        RememberedCounters::Instance().ForgetEverywhere();
    } else if (lock_.result() == LockResult::TimedOut) {
        LogError("%s : StateMutex WAIT_TIMEOUT", operation);
    }
}

void RefreshUsageGeneration() {
    RememberedCounters::Instance().RefreshGeneration();
}

fs::path UsageFileName(uint32_t userCrc, uint32_t categorySeed) {
    return RememberedCounters::Instance().FileName(userCrc + categorySeed);
}

int SaveUsage(NamedMutex& stateMutex, uint32_t lastCountTime, uint32_t minutesUsed,
              uint32_t userCrc, uint32_t categorySeed) {
    StateLock lock(stateMutex, "SaveUsage()");
    const UsageCounterFile counter{Now(), lastCountTime, minutesUsed};
    return RememberedCounters::Instance().Save(userCrc + categorySeed, counter, lock.owns());
}

int LoadUsage(NamedMutex& stateMutex, UsageCounterFile& out, uint32_t userCrc,
              uint32_t categorySeed) {
    StateLock lock(stateMutex, "LoadUsage()");
    return RememberedCounters::Instance().Load(userCrc + categorySeed, out, lock.owns());
}

UsageRead LoadUsageRemembered(NamedMutex& stateMutex, uint32_t userCrc, uint32_t categorySeed,
                              bool reportMissing) {
    StateLock lock(stateMutex, "LoadUsage()");
    return RememberedCounters::Instance().Read(userCrc + categorySeed, lock.owns(), reportMissing);
}

}  // namespace zen
