// zenctl export and import: the settings file from the command line, behind the password.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/temp_root.h"
#include "zenctl/zenctl_runner.h"

namespace zen::test {
namespace {

class ZenctlSettingsTest : public RootedTest {
protected:
    static void Run(const std::vector<std::string>& args) {
        const ZenctlResult result = Zenctl(args);
        ASSERT_EQ(result.code, 0) << args[0] << ": " << result.err;
    }

    std::string Path(const std::string& name) const { return (root / name).string(); }
};

TEST_F(ZenctlSettingsTest, ExportsAndImportsBehindThePassword) {
    Run({"init"});
    Run({"group", "add", "Kids"});
    const std::string file = Path("settings.xml");
    Run({"export", file});
    struct stat status {};
    ASSERT_EQ(::stat(file.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    const std::string exported = ReadAll(file);
    EXPECT_TRUE(exported.starts_with("<doc ver=\"2\">"));

    WriteAll(Path("password"), "s3cret\n");
    WriteAll(Path("wrong"), "guess\n");
    Run({"password", "--new-password-file", Path("password")});
    Run({"--password-file", Path("password"), "delete", "Kids"});
    EXPECT_EQ(exported.find("s3cret"), std::string::npos);

    const auto before = DataFileBytes();
    EXPECT_EQ(Zenctl({"--password-file", Path("wrong"), "import", file}).code, 5);
    std::string newer = exported;
    newer.replace(newer.find("ver=\"2\""), 7, "ver=\"3\"");
    WriteAll(Path("newer.xml"), newer);
    const ZenctlResult refused =
        Zenctl({"--password-file", Path("password"), "import", Path("newer.xml")});
    EXPECT_EQ(refused.code, 1);
    EXPECT_NE(refused.err.find("Invalid file version; nothing was changed"), std::string::npos)
        << refused.err;
    EXPECT_EQ(DataFileBytes(), before);

    Run({"--password-file", Path("password"), "import", file});
    EXPECT_NE(Zenctl({"show", "Kids"}).out.find("Kids"), std::string::npos);
    EXPECT_EQ(Zenctl({"export", Path("missing/settings.xml")}).code, 1);
}

}  // namespace
}  // namespace zen::test
