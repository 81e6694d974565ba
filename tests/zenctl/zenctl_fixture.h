#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_root.h"
#include "zenctl/zenctl_runner.h"

namespace zen::test {

// A database made by "zenctl init", with the group "Kids" and its user "alice", an account
// of the root's machine.
class ZenctlTest : public RootedTest {
protected:
    void SetUp() override {
        ::setenv("SUDO_USER", "parent", 1);
        std::filesystem::create_directories(root / "etc");
        WriteAll(root / "etc/passwd",
                 "root:x:0:0::/root:/bin/sh\nparent:x:1000:1000::/home/parent:/bin/sh\n"
                 "alice:x:1001:1001::/home/alice:/bin/sh\n");
        for (const std::vector<std::string>& args : {std::vector<std::string>{"init"},
                                                     {"group", "add", "Kids"},
                                                     {"user", "add", "alice", "Kids"}}) {
            const auto result = Zenctl(args);
            ASSERT_EQ(result.code, 0) << args[0] << ": " << result.err;
        }
    }
    void TearDown() override { ::unsetenv("SUDO_USER"); }

    std::string WriteFile(const std::string& name, const std::string& text) {
        const auto path = root / name;
        WriteAll(path, text);
        return path.string();
    }

    static void Run(const std::vector<std::string>& args) {
        const auto result = Zenctl(args);
        ASSERT_EQ(result.code, 0) << args[0] << ": " << result.err;
    }
};

}  // namespace zen::test
