#pragma once

// The test process in a network namespace of its own, joined by a veth pair to a second one
// that plays the outside server: addresses exist only inside the two, and the kernel rules
// the service sets there never reach the machine's own ruleset.
#include <memory>
#include <optional>
#include <string>

#include "filter/program_run.h"

namespace zen::test {

inline constexpr char kOutsideV4[] = "10.224.0.2";
inline constexpr char kOutsideV6[] = "fd24::2";
inline constexpr char kServicePort[] = "8024";
inline constexpr char kLoopbackPort[] = "8025";

class PrivateNetwork {
public:
    // Moves this process into a new network namespace (one way: the test binary runs one test
    // per process), names it as the one for the kernel rules under the current root and
    // starts the outside server and a loopback one, or says why it cannot
    // (no privilege): nothing when done, else the step that failed.
    static std::optional<std::string> Enter(std::unique_ptr<PrivateNetwork>& network);

private:
    std::unique_ptr<Program> outside_;
    std::unique_ptr<Program> loopback_;
};

// Runs a command to its end: its exit code.
int RunCommand(const std::vector<std::string>& command);

}  // namespace zen::test
