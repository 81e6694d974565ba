#include <gtest/gtest.h>

#include "support/child_process.h"

int main(int argc, char** argv) {
    zen::test::RunChildIfRequested(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
