// The descriptor table: free until used, exact at chunk edges, safe with threads racing.
#include "filter/fd_table.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace zen::filter {
namespace {

TEST(FdTableTest, RecordsAndForgetsAcrossChunks) {
    for (const int fd : {0, 4095, 4096, 70000, (1 << 20) - 1}) {
        EXPECT_EQ(fd_table::Get(fd), FdState::Unknown) << fd;
        ASSERT_TRUE(fd_table::Set(fd, FdState::Tracked)) << fd;
        EXPECT_EQ(fd_table::Get(fd), FdState::Tracked) << fd;
    }
    EXPECT_EQ(fd_table::Get(4094), FdState::Unknown);
    fd_table::ClearRange(4095, 70000);
    EXPECT_EQ(fd_table::Get(0), FdState::Tracked);
    EXPECT_EQ(fd_table::Get(4095), FdState::Unknown);
    EXPECT_EQ(fd_table::Get(4096), FdState::Unknown);
    EXPECT_EQ(fd_table::Get(70000), FdState::Unknown);
    EXPECT_EQ(fd_table::Get((1 << 20) - 1), FdState::Tracked);
    fd_table::ClearRange(0, ~0u);
    EXPECT_EQ(fd_table::Get(0), FdState::Unknown);
    EXPECT_EQ(fd_table::Get((1 << 20) - 1), FdState::Unknown);
}

TEST(FdTableTest, OutOfRangeNumbersAreNeverTracked) {
    EXPECT_FALSE(fd_table::Set(-1, FdState::Tracked));
    EXPECT_FALSE(fd_table::Set(1 << 20, FdState::Tracked));
    EXPECT_TRUE(fd_table::Set(1 << 20, FdState::Unknown));
    EXPECT_EQ(fd_table::Get(-1), FdState::Unknown);
    EXPECT_EQ(fd_table::Get(1 << 20), FdState::Unknown);
}

TEST(FdTableTest, ThreadsMappingOneChunkTogetherLoseNothing) {
    constexpr int kThreads = 8;
    constexpr int kBase = 200000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = t; i < 4096; i += kThreads) {
                fd_table::Set(kBase + i, FdState::Refused);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int i = 0; i < 4096; ++i) {
        ASSERT_EQ(fd_table::Get(kBase + i), FdState::Refused) << i;
    }
    fd_table::ClearRange(kBase, kBase + 4095);
}

}  // namespace
}  // namespace zen::filter
