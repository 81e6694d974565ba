#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "platform/root.h"

namespace zen::bench {

// Benchmarks run under a private temporary root, never on the machine's own files; /tmp is on
// disk here, so flushes cost what they cost on a real machine.
class BenchRoot {
public:
    BenchRoot() {
        std::string pattern = "/tmp/zenbench.XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        path_ = pattern;
        ::setenv("ZEN_ROOT", path_.c_str(), 1);
        SetEnvironment(Environment::ForRoot(path_));
        if (!EnsureSharedDirectories()) {
            throw std::runtime_error("cannot make the shared directories");
        }
    }
    ~BenchRoot() {
        ::unsetenv("ZEN_ROOT");
        SetEnvironment(Environment::FromProcess());
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    BenchRoot(const BenchRoot&) = delete;
    BenchRoot& operator=(const BenchRoot&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace zen::bench
