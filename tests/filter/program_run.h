#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace zen::test {

// A real program of a test: its standard input and output are pipes of the test, standard
// error goes to the test's own; optionally run under another uid (the test runs as root).
// The destructor kills it when it still runs.
class Program {
public:
    struct Options {
        std::optional<uid_t> uid;
        std::vector<std::string> environment;  // NAME=VALUE over the inherited ones
    };

    Program(const std::vector<std::string>& command, const Options& options);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // The next line of standard output without its end; nothing at the end or on time-out.
    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
    // Every line up to the end of standard output.
    std::vector<std::string> ReadLines(std::chrono::milliseconds timeout);
    void CloseInput();
    // The exit code (128 + signal when killed); nothing when it did not end in time.
    std::optional<int> Wait(std::chrono::milliseconds timeout);

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    std::string pending_;
    bool ended_ = false;
};

}  // namespace zen::test
