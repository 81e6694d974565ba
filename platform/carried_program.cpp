#include "platform/carried_program.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>

#include "platform/unique_fd.h"

namespace zen {
namespace {

std::string_view FileName(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// glibc's ld-linux-*.so.N and ld.so, musl's ld-musl-*.so.1.
bool IsLoader(std::string_view name) {
    return name == "ld.so" ||
           (name.starts_with("ld-") && name.find(".so") != std::string_view::npos);
}

// Interpreters by name, with or without a version (python3.11, perl5.36, lua5.4).
bool IsInterpreter(std::string_view name) {
    constexpr std::string_view kExact[] = {"sh",  "bash", "dash", "zsh",    "ksh", "mksh",   "fish",
                                           "csh", "tcsh", "node", "nodejs", "gjs", "Rscript"};
    constexpr std::string_view kFamilies[] = {"python", "pypy", "perl",  "ruby", "lua",
                                              "luajit", "php",  "tclsh", "wish", "guile"};
    if (std::ranges::find(kExact, name) != std::end(kExact)) {
        return true;
    }
    return std::ranges::any_of(kFamilies, [name](std::string_view family) {
        return name.starts_with(family) &&
               name.substr(family.size()).find_first_not_of("0123456789.") ==
                   std::string_view::npos;
    });
}

// The loader's options that take a value (ld.so --help).
bool LoaderOptionTakesValue(std::string_view option) {
    constexpr std::string_view kWithValue[] = {
        "--library-path",         "--preload",          "--audit", "--argv0", "--inhibit-rpath",
        "--glibc-hwcaps-prepend", "--glibc-hwcaps-mask"};
    return std::ranges::find(kWithValue, option) != std::end(kWithValue);
}

std::optional<std::string> LoaderProgram(const std::vector<std::string>& arguments) {
    for (std::size_t at = 1; at < arguments.size(); ++at) {
        const std::string& argument = arguments[at];
        if (argument == "--") {
            return at + 1 < arguments.size() ? std::optional(arguments[at + 1]) : std::nullopt;
        }
        if (!argument.starts_with("--")) {
            return argument;
        }
        if (LoaderOptionTakesValue(argument)) {
            ++at;
        }
    }
    return std::nullopt;
}

std::optional<std::string> ScriptArgument(const std::vector<std::string>& arguments) {
    for (std::size_t at = 1; at < arguments.size(); ++at) {
        const std::string& argument = arguments[at];
        if (argument == "--") {
            return at + 1 < arguments.size() ? std::optional(arguments[at + 1]) : std::nullopt;
        }
        if (!argument.starts_with('-')) {
            return argument;
        }
        // Code given on the command line, or a module: no script file runs.
        if (argument == "-c" || argument == "-e" || argument == "-E" || argument == "-m" ||
            argument == "-") {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// The NUL-separated arguments of /proc/PID/cmdline.
std::vector<std::string> CommandLine(int procDir, pid_t pid) {
    std::array<char, 48> name{};
    std::snprintf(name.data(), name.size(), "%d/cmdline", static_cast<int>(pid));
    const UniqueFd fd(::openat(procDir, name.data(), O_RDONLY | O_CLOEXEC));
    std::vector<std::string> arguments;
    if (!fd) {
        return arguments;
    }
    std::string text;
    std::array<char, 4096> buffer;
    // Enough for any loader's or interpreter's options and the program's path.
    constexpr std::size_t kMostRead = 64 * 1024;
    ssize_t got = 0;
    while (text.size() < kMostRead && (got = ::read(fd.get(), buffer.data(), buffer.size())) > 0) {
        text.append(buffer.data(), static_cast<std::size_t>(got));
    }
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\0', start), text.size());
        arguments.emplace_back(text, start, end - start);
        start = end + 1;
    }
    return arguments;
}

std::optional<std::string> WorkingDirectory(int procDir, pid_t pid) {
    std::array<char, 48> name{};
    std::snprintf(name.data(), name.size(), "%d/cwd", static_cast<int>(pid));
    std::array<char, 4096> target;
    const ssize_t length = ::readlinkat(procDir, name.data(), target.data(), target.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= target.size() || target[0] != '/') {
        return std::nullopt;
    }
    return std::string(target.data(), static_cast<std::size_t>(length));
}

}  // namespace

std::optional<std::string> CarriedArgument(std::string_view executablePath,
                                           const std::vector<std::string>& arguments) {
    const std::string_view name = FileName(executablePath);
    if (IsLoader(name)) {
        return LoaderProgram(arguments);
    }
    if (IsInterpreter(name)) {
        return ScriptArgument(arguments);
    }
    return std::nullopt;
}

std::optional<CarriedProgram> CarriedProgramOf(int procDir, pid_t pid,
                                               std::string_view executablePath) {
    if (!IsLoader(FileName(executablePath)) && !IsInterpreter(FileName(executablePath))) {
        return std::nullopt;  // the common case reads nothing more
    }
    const std::optional<std::string> argument =
        CarriedArgument(executablePath, CommandLine(procDir, pid));
    if (!argument || argument->empty()) {
        return std::nullopt;
    }
    std::filesystem::path path(*argument);
    if (path.is_relative()) {
        const std::optional<std::string> directory = WorkingDirectory(procDir, pid);
        if (!directory) {
            return std::nullopt;
        }
        path = std::filesystem::path(*directory) / path;
    }
    path = path.lexically_normal();
    // Looked at, not opened: the argument may name a device of the child's choosing.
    const UniqueFd file(::open(path.c_str(), O_PATH | O_CLOEXEC));
    struct stat status {};
    if (!file || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    return CarriedProgram{path.string(), IdentityFromStat(status)};
}

}  // namespace zen
