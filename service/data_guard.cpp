#include "service/data_guard.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <functional>

#include "common/db/db_manager.h"
#include "common/db/error_log.h"
#include "common/db/fast_table.h"
#include "common/db/log_records.h"
#include "common/db/log_table.h"
#include "common/db/options_file.h"
#include "common/mail/notifications.h"
#include "platform/root.h"
#include "platform/text.h"

namespace zen {
namespace fs = std::filesystem;

struct DataGuard::DataFile {
    fs::path path;
    std::function<bool(std::span<const std::byte>)> intact;
    bool isLog = false;
};

namespace {

// Logs grow to their size option; nothing of ours is larger.
constexpr off_t kLargestDataFile = off_t{64} << 20;
// The kind of the warning record: the computer as a whole.
constexpr uint32_t kComputerWarning = 2;

// The whole file when it is a regular file of sensible size; nothing when it cannot be read.
std::optional<std::vector<std::byte>> ReadDataFile(const fs::path& path, FileStamp& stamp) {
    UniqueFd fd = OpenSharedFile(path, O_RDONLY);
    if (!fd) {
        return std::nullopt;
    }
    stamp = StampOf(fd.get());
    if (!stamp.known() || stamp.size > kLargestDataFile) {
        return std::nullopt;
    }
    std::vector<std::byte> bytes(static_cast<std::size_t>(stamp.size));
    if (ReadFully(fd.get(), bytes.data(), bytes.size()) != bytes.size()) {
        return std::nullopt;
    }
    return bytes;
}

// The backup directory, made root's own (0700) when missing; false when what stands there
// is not a directory of root's that no one else may enter.
bool BackupDirectoryReady() {
    const fs::path dir = paths::BackupDir();
    std::error_code error;
    fs::create_directories(dir.parent_path(), error);
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    struct stat status {};
    return ::lstat(dir.c_str(), &status) == 0 && S_ISDIR(status.st_mode) &&
           status.st_uid == ::geteuid() && (status.st_mode & 077) == 0;
}

// A save names its scratch file "." + the target's name + "." + eight letters or digits.
bool IsScratchName(const std::string& name) {
    constexpr std::size_t kRandom = 8;
    if (name.size() < kRandom + 3 || name[0] != '.' || name[name.size() - kRandom - 1] != '.') {
        return false;
    }
    for (std::size_t i = name.size() - kRandom; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (!std::islower(c) && !std::isdigit(c)) {
            return false;
        }
    }
    return true;
}

}  // namespace

const std::vector<DataGuard::DataFile>& DataGuard::Files() {
    // The options file's name depends on the machine, and the root may change under tests.
    static thread_local std::vector<DataFile> files;
    static thread_local fs::path forRoot;
    if (files.empty() || forRoot != Root()) {
        forRoot = Root();
        const auto table = [](const char* name) {
            return DataFile{paths::DataDir() / (std::string(name) + ".dat"), IsTableImage, false};
        };
        const auto log = [](const char* name) {
            return DataFile{paths::DataDir() / (std::string(name) + ".dat"), DBLogTable::IsLogImage,
                            true};
        };
        files = {DataFile{OptionsFilePath(), IsOptionsImage, false},
                 table("ZenUsr"),
                 table("ZenCtb"),
                 table("ZenMsg"),
                 log("Zenwgs"),
                 log("Zenavt")};
    }
    return files;
}

void DataGuard::RemoveLeftoverScratchFiles() {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(paths::DataDir(), error)) {
        if (IsScratchName(entry.path().filename().string())) {
            ::unlink(entry.path().c_str());
        }
    }
}

void DataGuard::Tick() {
    for (const DataFile& file : Files()) {
        // Unchanged since its copy was taken: known good, not read again.
        const auto copied = copied_.find(file.path.string());
        if (copied != copied_.end() && copied->second == StampOf(file.path)) {
            continue;
        }
        FileStamp stamp;
        const auto bytes = ReadDataFile(file.path, stamp);
        if (bytes && file.intact(*bytes)) {
            BackUp(file, stamp, *bytes);
        } else if (Restore(file)) {
            restored_.push_back(file.path.filename().string());
        }
    }
}

bool DataGuard::Restore(const DataFile& file) {
    FileStamp stamp;
    auto copy = ReadDataFile(paths::BackupDir() / file.path.filename(), stamp);
    if (!copy || !file.intact(*copy)) {
        // A table or options file without a copy cannot be made up; the missing database is
        // reported where it is opened. A log without one starts empty, but only in a database
        // the guard has seen whole (its options were copied): before the database is first
        // made, a missing log is nothing lost.
        if (!file.isLog || !fs::exists(paths::BackupDir() / OptionsFilePath().filename())) {
            return false;
        }
        copy = DBLogTable::EmptyImage();
    }
    if (!ReplaceFile(file.path, *copy, 0666)) {
        LogError("Unable to restore %s", file.path.c_str());
        return false;
    }
    copied_.erase(file.path.string());
    return true;
}

void DataGuard::BackUp(const DataFile& file, const FileStamp& stamp,
                       std::span<const std::byte> bytes) {
    FileStamp& copied = copied_[file.path.string()];
    if (copied == stamp || !BackupDirectoryReady()) {
        return;
    }
    if (ReplaceFile(paths::BackupDir() / file.path.filename(), bytes, 0600)) {
        copied = stamp;
    }
}

void DataGuard::Report(CDBManager& db) {
    if (restored_.empty() || !db.IsInitialised()) {
        return;
    }
    std::u16string names;
    for (const std::string& name : restored_) {
        const std::u16string file = Utf8ToUtf16(name);
        LogError("Data file %s was damaged and has been restored", name.c_str());
        AddWarning(db, u"Damaged data file restored", file, kComputerWarning,
                   u"The file was missing, cut short or unreadable and has been put back from "
                   u"its last good copy.");
        names += (names.empty() ? u"" : u", ") + file;
    }
    restored_.clear();
    CDBManager::PulseReload();
    SendNotification(db, u"Damaged data files restored from their last good copy: " + names);
}

}  // namespace zen
