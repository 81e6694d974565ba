#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/unique_fd.h"

namespace zen {

// Files in the shared directories can be written by every account, so nothing opened there
// may lead a root process elsewhere: no symbolic links are followed, and only regular files
// with a single link are accepted. A file that is refused yields an invalid descriptor with
// errno set (ELOOP for a link, EINVAL for anything else).
// `flags` are open(2) flags; O_NOFOLLOW and O_CLOEXEC are always added. A file this call
// creates gets exactly `mode`, whatever the umask.
UniqueFd OpenSharedFile(const std::filesystem::path& path, int flags, mode_t mode = 0666);

struct FileStamp;

// The first line of a small text file without its trailing blanks; nothing when the file
// cannot be read.
std::optional<std::string> ReadFirstLine(const std::filesystem::path& path);

// Reads up to `size` bytes, going on after short reads; fewer only at the end of the file or
// on an error.
std::size_t ReadFully(int fd, void* buffer, std::size_t size);

// Replaces the whole file at once: the bytes go to a fresh file in the same directory, which
// is flushed to disk and renamed over `path`. Readers see the old or the new content, never a
// mix, and a crash at any moment leaves one of the two. Returns false (errno set) on failure,
// leaving the old file untouched. `stamp`, when given, receives the new file's stamp.
bool ReplaceFile(const std::filesystem::path& path, std::span<const std::byte> bytes,
                 mode_t mode = 0666, FileStamp* stamp = nullptr);

// What identifies one version of a file: a save replaces the inode and a write moves the
// modification time, which is kept to the nanosecond so that two saves in one second are
// still told apart.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    int64_t modifiedNs = 0;
    int64_t size = -1;

    bool known() const { return size >= 0; }
    int64_t modifiedSeconds() const { return modifiedNs / 1'000'000'000; }
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file at `path` (links are not followed); an unknown stamp when it cannot
// be read.
FileStamp StampOf(const std::filesystem::path& path);
FileStamp StampOf(int fd);

}  // namespace zen
