#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace zen::test {

// A stand-in for the installed filter library: an empty file in a fresh folder of /run, owned
// by root and writable by no one else, as a library must be before it is preloaded. Removed
// again by the destructor.
class TrustedLibrary {
public:
    TrustedLibrary();
    ~TrustedLibrary();
    TrustedLibrary(const TrustedLibrary&) = delete;
    TrustedLibrary& operator=(const TrustedLibrary&) = delete;

    const std::filesystem::path& path() const { return library_; }
    // Why this machine cannot stand in (not root, or /run is not root's alone); the test skips
    // then.
    const std::optional<std::string>& unusable() const { return unusable_; }

private:
    std::filesystem::path folder_;
    std::filesystem::path library_;
    std::optional<std::string> unusable_;
};

}  // namespace zen::test
