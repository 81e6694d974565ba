#include "service/setup_preload.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <span>
#include <sstream>
#include <vector>

#include "common/db/error_log.h"
#include "platform/machine_conf.h"
#include "platform/root.h"
#include "platform/shared_file.h"
#include "service/install_layout.h"

namespace zen {
namespace {

namespace fs = std::filesystem;

// The lines of a text, each with its line feed when it has one.
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::size_t length = end == std::string_view::npos ? text.size() : end + 1;
        lines.push_back(text.substr(0, length));
        text.remove_prefix(length);
    }
    return lines;
}

bool HasLine(std::string_view list, std::string_view line) {
    for (const std::string_view present : Lines(list)) {
        if (TrimmedLine(present) == line) {
            return true;
        }
    }
    return false;
}

// The list's text; nothing when it exists but cannot be read. A missing list is empty.
std::optional<std::string> ReadList() {
    std::error_code error;
    const fs::file_status status = fs::status(paths::PreloadList(), error);
    if (status.type() == fs::file_type::not_found) {
        return std::string();
    }
    std::ifstream in(paths::PreloadList(), std::ios::binary);
    if (error || !fs::is_regular_file(status) || !in) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return in.bad() ? std::nullopt : std::optional(text.str());
}

bool WriteList(std::string_view text) {
    std::error_code error;
    fs::create_directories(paths::PreloadList().parent_path(), error);
    return ReplaceFile(paths::PreloadList(), std::as_bytes(std::span(text)), 0644);
}

std::string Refusal(const fs::path& path, std::string_view fault) {
    return path.string() + " " + std::string(fault);
}

}  // namespace

fs::path FilterLibraryPath() {
    return Env().filterLibrary.value_or(layout::LibraryDir() / "libzensp.so");
}

std::optional<std::string> PreloadRefusal(const fs::path& library) {
    std::error_code error;
    const fs::path real = fs::canonical(library, error);
    if (error) {
        return Refusal(library, "is missing");
    }
    struct stat status {};
    if (::stat(real.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return Refusal(real, "is not a regular file");
    }
    // The resolved path leaves no link that someone else could turn elsewhere.
    for (fs::path step = real;; step = step.parent_path()) {
        if (::stat(step.c_str(), &status) != 0) {
            return Refusal(step, "cannot be examined");
        }
        if (status.st_uid != 0) {
            return Refusal(step, "is not owned by root");
        }
        if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
            return Refusal(step, "is writable by accounts other than root");
        }
        if (step == step.root_path()) {
            return std::nullopt;
        }
    }
}

std::string WithPreloadLine(std::string_view list, std::string_view line) {
    std::string text(list);
    if (HasLine(list, line)) {
        return text;
    }
    if (!text.empty() && text.back() != '\n') {
        text += '\n';
    }
    return text.append(line).append("\n");
}

std::string WithoutPreloadLine(std::string_view list, std::string_view line) {
    std::string text;
    for (const std::string_view present : Lines(list)) {
        if (TrimmedLine(present) != line) {
            text.append(present);
        }
    }
    return text;
}

FilterSetup InstallFilter(const fs::path& library) {
    if (const std::optional<std::string> refusal = PreloadRefusal(library)) {
        const std::string text = "The network filter is not installed: " + *refusal + ".";
        std::fprintf(stderr, "%s\n", text.c_str());
        LogError("InstallProviders: %s", text.c_str());
        return FilterSetup::NotListed;
    }
    const std::optional<std::string> list = ReadList();
    if (!list) {
        LogError("Unable to enumerate providers!");
        return FilterSetup::ListUnreadable;
    }
    const std::string line = fs::canonical(library).string();
    const std::string updated = WithPreloadLine(*list, line);
    if (updated != *list && !WriteList(updated)) {
        LogError("WSCInstallProvider() failed: %d", errno);
        return FilterSetup::WriteFailed;
    }
    return FilterSetup::Done;
}

FilterSetup RemoveFilter(const fs::path& library) {
    const std::optional<std::string> list = ReadList();
    if (!list) {
        LogError("Unable to enumerate Winsock catalog!");
        return FilterSetup::ListUnreadable;
    }
    // The line names the library as it was listed: the resolved path, when it still resolves.
    std::error_code error;
    const fs::path real = fs::canonical(library, error);
    std::string updated = WithoutPreloadLine(*list, library.string());
    if (!error) {
        updated = WithoutPreloadLine(updated, real.string());
    }
    if (updated == *list) {
        return FilterSetup::Done;
    }
    const bool written = TrimmedLine(updated).empty()
                             ? ::unlink(paths::PreloadList().c_str()) == 0 || errno == ENOENT
                             : WriteList(updated);
    if (!written) {
        LogError("Failed to remove [%s]: Error %d", library.c_str(), errno);
        return FilterSetup::WriteFailed;
    }
    return FilterSetup::Done;
}

}  // namespace zen
