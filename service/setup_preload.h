#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zen {

// The network filter's installation: the absolute path of libzensp.so as one line of the
// preload list (etc/ld.so.preload under the root), so that every dynamically linked process
// loads it.

// The installed library, libzensp.so in the library folder (the multiarch one under /usr). Under a
// root other than "/" the variable ZEN_FILTER_LIBRARY may name another one, so that tests install a
// library of their own into their own root's list.
std::filesystem::path FilterLibraryPath();

// Every root process will load the library: it must be a regular file, and it and every
// folder above it owned by root and writable by no one else. Nothing when it may be listed;
// otherwise why not, for the administrator.
std::optional<std::string> PreloadRefusal(const std::filesystem::path& library);

// The list's text with `line` added once (other lines kept), and with exactly the lines that
// are `line` removed.
std::string WithPreloadLine(std::string_view list, std::string_view line);
std::string WithoutPreloadLine(std::string_view list, std::string_view line);

enum class FilterSetup {
    Done,            // listed (also when it already was) or removed
    NotListed,       // the library is missing or unsafe; logged and shown
    ListUnreadable,  // the list cannot be read
    WriteFailed,     // the list cannot be written
};

// Lists the library, writing the list atomically; a second run leaves one line.
FilterSetup InstallFilter(const std::filesystem::path& library);
// Deletes the library's line and leaves the others; a list left empty is removed.
FilterSetup RemoveFilter(const std::filesystem::path& library);

}  // namespace zen
