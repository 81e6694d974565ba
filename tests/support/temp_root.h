#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/environment.h"

namespace zen::test {

// A fresh root for one test: a temporary directory with the shared directories made, the
// environment of this process and exported as ZEN_ROOT (so child processes inherit it), and
// removed afterwards.
class TempRoot {
public:
    TempRoot();
    ~TempRoot();
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& relative) const { return path_ / relative; }

    // The error log's whole text ("" when there is none).
    std::string ErrorLog() const;

private:
    std::filesystem::path path_;
    Environment previous_;
};

// Makes the environment again for the root in force, after a test changed a variable that the
// environment reads at its start (a logind bus, a stand-in filter library).
void ReloadEnvironment();

// A test fixture that gives each test its own TempRoot.
class RootedTest : public ::testing::Test {
protected:
    TempRoot root;
};

// Whole-file helpers for fixtures.
std::string ReadAll(const std::filesystem::path& path);
void WriteAll(const std::filesystem::path& path, std::string_view bytes);

}  // namespace zen::test
