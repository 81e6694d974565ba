// Under a test root, accounts come from the root's etc/passwd and etc/login.defs.
#include "platform/accounts.h"

#include <gtest/gtest.h>

#include "platform/account_names.h"
#include "support/temp_root.h"

namespace zen::test {
namespace {

class RootAccountsTest : public RootedTest {
protected:
    void SetUp() override {
        std::filesystem::create_directories(root / "etc");
        WriteAll(root / "etc/passwd",
                 "root:x:0:0::/root:/bin/sh\n"
                 "# a comment\n"
                 "kid:x:2000:2000::/home/kid:/bin/sh\n"
                 "nobody:x:65534:65534::/:/usr/sbin/nologin\n"
                 "broken:x:notanumber:1::/:/bin/sh\n");
        WriteAll(root / "etc/login.defs", "UID_MAX 60000\nUID_MIN   1500\n");
    }
};

TEST_F(RootAccountsTest, NamesAndSystemAccountsComeFromTheRoot) {
    EXPECT_EQ(LoginNameOf(2000), "kid");
    EXPECT_EQ(LoginNameOf(0), "root");
    EXPECT_EQ(LoginNameOf(2001), std::nullopt);
    EXPECT_EQ(FirstUserUid(), 1500u);
    EXPECT_FALSE(IsSystemAccount(2000));
    EXPECT_TRUE(IsSystemAccount(1499));
    EXPECT_TRUE(IsSystemAccount(65534));  // nobody
}

TEST_F(RootAccountsTest, TheCacheAsksAgainOnceThePasswordFileChanges) {
    AccountNames names;
    names.Refresh(100);
    EXPECT_EQ(names.Of(2000).name, "kid");
    EXPECT_FALSE(names.Of(2000).system);
    WriteAll(root / "etc/passwd", "root:x:0:0::/root:/bin/sh\nchild:x:2000:2000::/:/bin/sh\n\n");
    names.Refresh(101);
    EXPECT_EQ(names.Of(2000).name, "child");
}

TEST_F(RootAccountsTest, WithoutLoginDefsTheFirstPersonIs1000) {
    std::filesystem::remove(root / "etc/login.defs");
    EXPECT_EQ(FirstUserUid(), 1000u);
}

}  // namespace
}  // namespace zen::test
