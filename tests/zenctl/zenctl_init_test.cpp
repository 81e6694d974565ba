// What "zenctl init" prepares for every account.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/root.h"
#include "support/temp_root.h"
#include "zenctl/zenctl_runner.h"

namespace zen {
namespace {

// Every account's processes log their failures, but only root may create a file in the
// log directory: init makes the error log, writable by all.
TEST(ZenctlInitTest, MakesTheErrorLogWritableByEveryAccount) {
    test::TempRoot root;
    ASSERT_FALSE(std::filesystem::exists(paths::ErrorLog()));
    const test::ZenctlResult made = test::Zenctl({"init"});
    ASSERT_EQ(made.code, 0) << made.err;
    struct stat status {};
    ASSERT_EQ(::stat(paths::ErrorLog().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0666u);
}

}  // namespace
}  // namespace zen
