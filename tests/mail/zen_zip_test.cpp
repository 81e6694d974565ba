#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "common/mail/zen_zip.h"
#include "support/temp_root.h"

namespace zen {
namespace {

class ZenZipTest : public test::RootedTest {
protected:
    // Runs 7z quietly; its exit code.
    int SevenZip(const std::string& arguments) {
        return std::system(("7z " + arguments + " >/dev/null 2>&1").c_str()) >> 8;
    }

    std::string Archive() { return (root / "dreport.zip").string(); }

    void WriteReport(const std::string& password) {
        test::WriteAll(root / "dlog.txt", std::string("W\0a\0r\0n\0\r\0\n\0", 12));
        test::WriteAll(root / "activity.txt", std::string(5000, 'x') + "\x01\x02\xff");
        CZenZip zip;
        zip.Open(Archive());
        zip.SetPassword(password);
        zip.AddNewFile((root / "dlog.txt").string(), "ZenWarnings.log");
        // The caller deletes its scratch file right after adding it.
        std::filesystem::remove(root / "dlog.txt");
        zip.AddNewFile((root / "activity.txt").string(), "ZenProgramsActivity.log");
        zip.Close();
    }
};

TEST_F(ZenZipTest, SevenZipOpensTheArchiveWithItsPassword) {
    WriteReport("report-pw");
    const std::string out = (root / "out").string();
    ASSERT_EQ(SevenZip("x -y -preport-pw -o" + out + " " + Archive()), 0);
    EXPECT_EQ(test::ReadAll(root / "out/ZenWarnings.log"), std::string("W\0a\0r\0n\0\r\0\n\0", 12));
    EXPECT_EQ(test::ReadAll(root / "out/ZenProgramsActivity.log"),
              std::string(5000, 'x') + "\x01\x02\xff");
}

TEST_F(ZenZipTest, EntriesAreAesProtected) {
    WriteReport("report-pw");
    EXPECT_NE(SevenZip("x -y -pwrong -o" + (root / "wrong").string() + " " + Archive()), 0);
    // The listing names the method of each entry.
    const std::string listing = (root / "listing.txt").string();
    ASSERT_EQ(std::system(("7z l -slt -preport-pw " + Archive() + " > " + listing).c_str()), 0);
    const std::string text = test::ReadAll(listing);
    EXPECT_NE(text.find("AES-256"), std::string::npos) << text;
    EXPECT_EQ(text.find("ZipCrypto"), std::string::npos) << text;
}

TEST_F(ZenZipTest, FailuresThrowCZipException) {
    test::WriteAll(root / "a.txt", "a");
    {
        CZenZip zip;
        zip.Open((root / "no/such/folder/dreport.zip").string());
        zip.SetPassword("pw");
        zip.AddNewFile((root / "a.txt").string(), "a.txt");
        EXPECT_THROW(zip.Close(), CZipException);
    }
    {
        CZenZip zip;
        zip.Open(Archive());
        EXPECT_THROW(zip.AddNewFile((root / "missing.txt").string(), "m.txt"), CZipException);
    }
    CZenZip notOpen;
    EXPECT_THROW(notOpen.AddNewFile((root / "a.txt").string(), "a.txt"), CZipException);
    EXPECT_THROW(notOpen.Close(), CZipException);
}

}  // namespace
}  // namespace zen
