#pragma once

#include <chrono>
#include <thread>

namespace zen::test {

// Polls until `done` holds, for at most five seconds: for what another process or thread
// brings about soon, but not at a known moment.
template <typename Done>
bool Eventually(Done done) {
    for (int i = 0; i < 500; ++i) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

}  // namespace zen::test
