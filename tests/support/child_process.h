#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace zen::test {

// Cross-process tests run real processes: the test binary starts itself again with
// "--zen-child NAME ARGS..." and runs the child body registered under NAME instead of the
// tests. A body's return value is the child's exit code.
using ChildBody = std::function<int(const std::vector<std::string>& args)>;

struct ChildRegistration {
    ChildRegistration(const std::string& name, ChildBody body);
};

#define ZEN_CHILD_CONCAT2(a, b) a##b
#define ZEN_CHILD_CONCAT(a, b) ZEN_CHILD_CONCAT2(a, b)
// ZEN_CHILD(name) { ... return 0; }  -- `args` holds the arguments after the name.
#define ZEN_CHILD(name)                                                                  \
    static int ZEN_CHILD_CONCAT(zen_child_body_, name)(const std::vector<std::string>&); \
    static ::zen::test::ChildRegistration ZEN_CHILD_CONCAT(zen_child_reg_, name)(        \
        #name, ZEN_CHILD_CONCAT(zen_child_body_, name));                                 \
    static int ZEN_CHILD_CONCAT(zen_child_body_,                                         \
                                name)([[maybe_unused]] const std::vector<std::string>& args)

// A running child; the destructor kills it (SIGKILL) if it was not waited for.
class Child {
public:
    Child(const std::string& name, const std::vector<std::string>& args = {});
    ~Child();
    Child(Child&& other) noexcept;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    // Waits for the end; the exit code, or 128 + signal number when it was killed.
    int Wait();
    void Kill(int signal);

private:
    pid_t pid_ = -1;
};

// Runs a child to its end and returns its exit code.
int RunChild(const std::string& name, const std::vector<std::string>& args = {});

// Called first in main(): runs a child body and exits when argv asks for one.
void RunChildIfRequested(int argc, char** argv);

}  // namespace zen::test
