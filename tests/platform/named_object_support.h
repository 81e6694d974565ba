#pragma once

// Small helpers shared by the named-object tests.

#include <grp.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/named_event.h"
#include "platform/root.h"
#include "support/child_process.h"

namespace zen::test {

// The event that the cross-process children of the tests open (see the child "event_op").
constexpr char kEventName[] = "__Zentimo_Reload_Event__";

// The unprivileged account the tests turn into to check what a user may not do.
constexpr uid_t kNobody = 65534;

// Turns this process into "nobody" for good; false when it cannot.
inline bool DropToNobody() {
    return ::setgroups(0, nullptr) == 0 && ::setresgid(kNobody, kNobody, kNobody) == 0 &&
           ::setresuid(kNobody, kNobody, kNobody) == 0;
}

// Exit code of a child that could not open its object: 100 + errno.
inline int OpenFailure() {
    return 100 + errno;
}

inline std::filesystem::path ObjectFile(const std::string& name) {
    return paths::RunDir() / name;
}

// A child tells the test it is ready by creating a file; waits at most ten seconds for it.
inline bool WaitForFile(const std::filesystem::path& path) {
    for (int i = 0; i < 1000; ++i) {
        if (std::filesystem::exists(path)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

inline ObjectAccess AccessNamed(const std::string& word) {
    if (word == "rootonly") {
        return ObjectAccess::RootOnly;
    }
    return word == "rootsignals" ? ObjectAccess::RootSignals : ObjectAccess::Everyone;
}

// Pulses until `child` ends, for a waiter that may not be waiting yet at the first pulse.
inline int PulseUntilEnd(NamedEvent& event, Child& child) {
    std::atomic<bool> done{false};
    std::thread pulser([&] {
        while (!done) {
            event.Pulse();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    const int code = child.Wait();
    done = true;
    pulser.join();
    return code;
}

}  // namespace zen::test
