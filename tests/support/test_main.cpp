#include <gtest/gtest.h>

#include "platform/console_user.h"
#include "support/child_process.h"

int main(int argc, char** argv) {
    // As every program of the system starts: its environment, with the session layer's console
    // user (a child process of a test runs under the root its parent exported).
    zen::SetEnvironment(zen::WithConsoleSessions(zen::Environment::FromProcess()));
    zen::test::RunChildIfRequested(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
