#include "platform/device_acl.h"

#include <sys/stat.h>
#include <sys/xattr.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

namespace zen {
namespace {

// The kernel's format of the attribute: a little-endian version word, then one entry each.
constexpr char kAttribute[] = "system.posix_acl_access";
constexpr uint32_t kVersion = 2;
constexpr uint16_t kUserObj = 0x01, kUser = 0x02, kGroupObj = 0x04, kGroup = 0x08, kMask = 0x10,
                   kOther = 0x20;
constexpr uint32_t kNoId = 0xFFFFFFFF;
constexpr uint16_t kReadWrite = 0x4 | 0x2;

struct Entry {
    uint16_t tag;
    uint16_t perm;
    uint32_t id;
};
static_assert(sizeof(Entry) == 8);

// The ACL, or the one the mode stands for when the node has no attribute yet.
std::optional<std::vector<Entry>> ReadAcl(const std::filesystem::path& node) {
    std::vector<char> bytes(4 + 64 * sizeof(Entry));
    const ssize_t size = ::getxattr(node.c_str(), kAttribute, bytes.data(), bytes.size());
    if (size < 0) {
        struct stat status {};
        if (errno != ENODATA || ::stat(node.c_str(), &status) != 0) {
            return std::nullopt;
        }
        const auto bits = [&](int shift) {
            return static_cast<uint16_t>((status.st_mode >> shift) & 7);
        };
        return std::vector<Entry>{
            {kUserObj, bits(6), kNoId}, {kGroupObj, bits(3), kNoId}, {kOther, bits(0), kNoId}};
    }
    uint32_t version = 0;
    if (size < 4 || (size - 4) % sizeof(Entry) != 0 ||
        (std::memcpy(&version, bytes.data(), 4), version != kVersion)) {
        return std::nullopt;
    }
    std::vector<Entry> entries((static_cast<std::size_t>(size) - 4) / sizeof(Entry));
    std::memcpy(entries.data(), bytes.data() + 4, entries.size() * sizeof(Entry));
    return entries;
}

bool WriteAcl(const std::filesystem::path& node, std::vector<Entry> entries) {
    // The kernel takes the entries in the order of their tags, named ones by id.
    std::ranges::sort(entries, [](const Entry& a, const Entry& b) {
        return a.tag != b.tag ? a.tag < b.tag : a.id < b.id;
    });
    std::vector<char> bytes(4 + entries.size() * sizeof(Entry));
    std::memcpy(bytes.data(), &kVersion, 4);
    std::memcpy(bytes.data() + 4, entries.data(), entries.size() * sizeof(Entry));
    return ::setxattr(node.c_str(), kAttribute, bytes.data(), bytes.size(), 0) == 0;
}

bool IsUser(const Entry& entry, uid_t uid) {
    return entry.tag == kUser && entry.id == uid;
}

}  // namespace

bool HasUserAccess(const std::filesystem::path& node, uid_t uid) {
    const auto entries = ReadAcl(node);
    return entries &&
           std::ranges::any_of(*entries, [uid](const Entry& e) { return IsUser(e, uid); });
}

bool RemoveUserAccess(const std::filesystem::path& node, uid_t uid) {
    auto entries = ReadAcl(node);
    if (!entries) {
        return false;
    }
    if (std::erase_if(*entries, [uid](const Entry& e) { return IsUser(e, uid); }) == 0) {
        return true;
    }
    return WriteAcl(node, std::move(*entries));
}

bool GrantUserAccess(const std::filesystem::path& node, uid_t uid) {
    auto entries = ReadAcl(node);
    if (!entries) {
        return false;
    }
    std::erase_if(*entries, [uid](const Entry& e) { return IsUser(e, uid); });
    entries->push_back({kUser, kReadWrite, uid});
    // A named entry needs a mask, and the mask bounds it: it must let read and write through.
    const auto mask = std::ranges::find(*entries, kMask, &Entry::tag);
    if (mask == entries->end()) {
        uint16_t groupClass = kReadWrite;
        for (const Entry& e : *entries) {
            if (e.tag == kGroupObj || e.tag == kGroup) {
                groupClass |= e.perm;
            }
        }
        entries->push_back({kMask, groupClass, kNoId});
    } else {
        mask->perm |= kReadWrite;
    }
    return WriteAcl(node, std::move(*entries));
}

}  // namespace zen
