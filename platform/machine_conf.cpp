#include "platform/machine_conf.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <span>
#include <sstream>
#include <vector>

#include "platform/root.h"
#include "platform/shared_file.h"
#include "platform/unique_fd.h"

namespace zen {
namespace {

// The file's text, when root alone could have written it.
std::optional<std::string> TrustedConfText() {
    UniqueFd fd(::open(paths::ConfFile().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat status {};
    if (!fd || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != 0 ||
        (status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return std::nullopt;
    }
    std::string text(static_cast<std::size_t>(std::min<off_t>(status.st_size, 64 * 1024)), '\0');
    text.resize(ReadFully(fd.get(), text.data(), text.size()));
    return text;
}

// The value of "key=value" when `line` is that key's line.
std::optional<std::string_view> ValueOf(std::string_view line, std::string_view key) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || TrimmedLine(line.substr(0, equals)) != key) {
        return std::nullopt;
    }
    return TrimmedLine(line.substr(equals + 1));
}

// The trusted file's lines but those of `keys`.
std::string LinesWithout(std::span<const std::string_view> keys) {
    std::string kept;
    std::istringstream lines(TrustedConfText().value_or(""));
    for (std::string line; std::getline(lines, line);) {
        const bool dropped = std::any_of(keys.begin(), keys.end(), [&](std::string_view key) {
            return ValueOf(line, key).has_value();
        });
        if (!dropped) {
            kept += line + "\n";
        }
    }
    return kept;
}

}  // namespace

std::string_view TrimmedLine(std::string_view line) {
    constexpr std::string_view kBlanks = " \t\r\n";
    const std::size_t first = line.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return line.substr(first, line.find_last_not_of(kBlanks) - first + 1);
}

std::optional<std::string> MachineConfValue(std::string_view key) {
    std::optional<std::string> found;
    std::istringstream lines(TrustedConfText().value_or(""));
    for (std::string line; std::getline(lines, line);) {
        if (const auto value = ValueOf(line, key)) {
            found = std::string(*value);
        }
    }
    return found;
}

bool StoreMachineConfValues(
    std::initializer_list<std::pair<std::string_view, std::string_view>> values) {
    std::error_code error;
    std::filesystem::create_directories(paths::ConfFile().parent_path(), error);
    std::vector<std::string_view> keys;
    for (const auto& entry : values) {
        keys.push_back(entry.first);
    }
    std::string kept = LinesWithout(keys);
    for (const auto& [key, value] : values) {
        kept.append(key).append("=").append(value).append("\n");
    }
    return ReplaceFile(paths::ConfFile(), std::as_bytes(std::span(kept)), 0644);
}

bool RemoveMachineConfValues(std::initializer_list<std::string_view> keys) {
    const std::string kept = LinesWithout(keys);
    if (!TrimmedLine(kept).empty()) {
        return ReplaceFile(paths::ConfFile(), std::as_bytes(std::span(kept)), 0644);
    }
    // Nothing of the administrator's is left: the file and its folder go.
    if (::unlink(paths::ConfFile().c_str()) != 0 && errno != ENOENT) {
        return false;
    }
    ::rmdir(paths::ConfFile().parent_path().c_str());
    return true;
}

}  // namespace zen
