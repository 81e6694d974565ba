#include "support/temp_root.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/console_user.h"
#include "platform/root.h"

namespace zen::test {

TempRoot::TempRoot() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zenroot.XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
    previous_ = Env();
    ::setenv("ZEN_ROOT", path_.c_str(), 1);
    SetEnvironment(WithConsoleSessions(Environment::ForRoot(path_)));
    if (!EnsureSharedDirectories()) {
        throw std::runtime_error("cannot make the shared directories under " + path_.string());
    }
}

TempRoot::~TempRoot() {
    if (previous_.onMachine) {
        ::unsetenv("ZEN_ROOT");
    } else {
        ::setenv("ZEN_ROOT", previous_.root.c_str(), 1);
    }
    SetEnvironment(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void ReloadEnvironment() {
    SetEnvironment(WithConsoleSessions(Environment::ForRoot(Root())));
}

std::string TempRoot::ErrorLog() const {
    return ReadAll(path_ / "var/log/zen-err.log");
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteAll(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace zen::test
