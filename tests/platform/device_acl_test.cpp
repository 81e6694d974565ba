// The console user's entry in a device node's ACL, on a scratch file under the root standing
// in for /dev/sr0, checked against getfacl's reading when it is there.
#include "platform/device_acl.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "support/temp_root.h"

namespace zen::test {
namespace {

constexpr uid_t kConsoleChild = 62'951;
constexpr uid_t kOtherUser = 62'952;

TEST(DeviceAclTest, TheConsoleChildsEntryGoesAndComesBackAndOthersStay) {
    TempRoot root;
    const std::filesystem::path node = root / "sr0";
    WriteAll(node, "");
    ::chmod(node.c_str(), 0660);
    if (!GrantUserAccess(node, kOtherUser)) {
        GTEST_SKIP() << "no POSIX ACLs on this file system";
    }
    ASSERT_TRUE(GrantUserAccess(node, kConsoleChild));  // as udev's uaccess does
    EXPECT_TRUE(HasUserAccess(node, kConsoleChild));

    EXPECT_TRUE(RemoveUserAccess(node, kConsoleChild));
    EXPECT_FALSE(HasUserAccess(node, kConsoleChild));
    EXPECT_TRUE(HasUserAccess(node, kOtherUser));
    EXPECT_TRUE(RemoveUserAccess(node, kConsoleChild));  // none left: nothing to do

    EXPECT_TRUE(GrantUserAccess(node, kConsoleChild));
    EXPECT_TRUE(HasUserAccess(node, kConsoleChild));
    if (std::system("command -v getfacl >/dev/null 2>&1") == 0) {
        const std::string command = "getfacl -n '" + node.string() + "' 2>/dev/null";
        std::string listing;
        if (FILE* pipe = ::popen(command.c_str(), "r")) {
            char buffer[256];
            while (std::fgets(buffer, sizeof buffer, pipe)) {
                listing += buffer;
            }
            ::pclose(pipe);
        }
        EXPECT_NE(listing.find("user:62951:rw-"), std::string::npos) << listing;
        EXPECT_NE(listing.find("mask::rw-"), std::string::npos) << listing;
    }
}

TEST(DeviceAclTest, ANodeThatIsMissingFails) {
    TempRoot root;
    EXPECT_FALSE(RemoveUserAccess(root / "missing", kConsoleChild));
    EXPECT_FALSE(GrantUserAccess(root / "missing", kConsoleChild));
}

}  // namespace
}  // namespace zen::test
