// The filter's line in the preload list under the test's root, and what keeps a library
// that others could change out of every process.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/root.h"
#include "service/setup_preload.h"
#include "service/setup_program_files.h"
#include "service/trusted_library.h"
#include "support/temp_root.h"

namespace zen::test {
namespace {

namespace fs = std::filesystem;

TEST(PreloadListTextTest, AddsOnceAndRemovesExactlyTheLine) {
    const std::string lib = "/usr/local/lib/libzensp.so";
    const struct {
        std::string list, added, removed;
    } cases[] = {
        {"", lib + "\n", ""},
        {"/opt/a.so\n", "/opt/a.so\n" + lib + "\n", "/opt/a.so\n"},
        {"/opt/a.so", "/opt/a.so\n" + lib + "\n", "/opt/a.so\n"},
        {"# keep\n  " + lib + " \n/opt/b.so\n", "# keep\n  " + lib + " \n/opt/b.so\n",
         "# keep\n/opt/b.so\n"},
        {lib + "\n" + lib + "\n", lib + "\n" + lib + "\n", ""},
        {"/opt/a.so " + lib + "\n" + lib + ".old\n",
         "/opt/a.so " + lib + "\n" + lib + ".old\n" + lib + "\n",
         "/opt/a.so " + lib + "\n" + lib + ".old\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WithPreloadLine(c.list, lib), c.added) << c.list;
        EXPECT_EQ(WithPreloadLine(c.added, lib), c.added) << c.list;
        EXPECT_EQ(WithoutPreloadLine(c.added, lib), c.removed) << c.list;
    }
}

class FilterInstallTest : public RootedTest {
protected:
    void SetUp() override {
        if (library.unusable()) {
            GTEST_SKIP() << *library.unusable();
        }
    }

    static std::string List() { return ReadAll(paths::PreloadList()); }

    TrustedLibrary library;
};

TEST_F(FilterInstallTest, ListsTheLibraryOnceKeepingOtherLinesAndRemovesOnlyIt) {
    fs::create_directories(paths::PreloadList().parent_path());
    WriteAll(paths::PreloadList(), "/opt/first.so\n# a note\n/opt/last.so");
    for (int run = 0; run < 2; ++run) {
        ASSERT_EQ(InstallFilter(library.path()), FilterSetup::Done);
        EXPECT_EQ(List(),
                  "/opt/first.so\n# a note\n/opt/last.so\n" + library.path().string() + "\n");
    }
    struct stat status {};
    ASSERT_EQ(::stat(paths::PreloadList().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0644u);
    ASSERT_EQ(RemoveFilter(library.path()), FilterSetup::Done);
    EXPECT_EQ(List(), "/opt/first.so\n# a note\n/opt/last.so\n");

    // A list that held nothing else goes away with the line.
    fs::remove(paths::PreloadList());
    ASSERT_EQ(InstallFilter(library.path()), FilterSetup::Done);
    ASSERT_EQ(RemoveFilter(library.path()), FilterSetup::Done);
    EXPECT_FALSE(fs::exists(paths::PreloadList()));
    EXPECT_EQ(RemoveFilter(library.path()), FilterSetup::Done);
}

// Each library could be changed by an account other than root: it is never listed, and the
// administrator is told why.
TEST_F(FilterInstallTest, RefusesALibraryOthersCouldChange) {
    const fs::path folder = library.path().parent_path();
    const fs::path link = folder.parent_path() / "link.so";
    const struct {
        const char* what;
        std::function<void()> make;
        std::function<void()> undo;
        fs::path listed;
        std::string reason;
    } cases[] = {
        {"folder writable by all", [&] { ::chmod(folder.c_str(), 01777); },
         [&] { ::chmod(folder.c_str(), 0755); }, library.path(),
         folder.string() + " is writable by accounts other than root"},
        {"library writable by its group", [&] { ::chmod(library.path().c_str(), 0664); },
         [&] { ::chmod(library.path().c_str(), 0644); }, library.path(),
         library.path().string() + " is writable by accounts other than root"},
        {"folder owned by a user", [&] { ::chown(folder.c_str(), 1000, 1000); },
         [&] { ::chown(folder.c_str(), 0, 0); }, library.path(),
         folder.string() + " is not owned by root"},
        {"link into a folder owned by a user",
         [&] {
             fs::create_symlink(library.path(), link);
             ::chown(folder.c_str(), 1000, 1000);
         },
         [&] { ::chown(folder.c_str(), 0, 0); }, link, folder.string() + " is not owned by root"},
        {"missing library", [] {}, [] {}, folder / "absent.so",
         (folder / "absent.so").string() + " is missing"},
    };
    for (const auto& unsafe : cases) {
        unsafe.make();
        EXPECT_EQ(InstallFilter(unsafe.listed), FilterSetup::NotListed) << unsafe.what;
        unsafe.undo();
        EXPECT_FALSE(fs::exists(paths::PreloadList())) << unsafe.what;
        EXPECT_NE(root.ErrorLog().find("The network filter is not installed: " + unsafe.reason),
                  std::string::npos)
            << unsafe.what << "\n"
            << root.ErrorLog();
    }
}

TEST_F(FilterInstallTest, AListThatCannotBeReadEndsTheInstallation) {
    fs::create_directories(paths::PreloadList());
    EXPECT_EQ(InstallFilter(library.path()), FilterSetup::ListUnreadable);
    EXPECT_NE(root.ErrorLog().find("Unable to enumerate providers!"), std::string::npos);
    EXPECT_EQ(RemoveFilter(library.path()), FilterSetup::ListUnreadable);
    EXPECT_NE(root.ErrorLog().find("Unable to enumerate Winsock catalog!"), std::string::npos);
}

TEST_F(FilterInstallTest, ProgramFilesNotRootsAloneAreRefusedAndLeftAsTheyAre) {
    const fs::path prefix = library.path().parent_path().parent_path();
    fs::create_directories(prefix / "bin");
    ::chmod((prefix / "bin").c_str(), 0755);
    WriteAll(prefix / "bin/zensvc", "");
    ::chmod((prefix / "bin/zensvc").c_str(), 0755);
    const std::vector<fs::path> files{prefix / "bin/zensvc", prefix / "bin/zencp", library.path(),
                                      prefix / "bin/absent"};
    EXPECT_EQ(ProgramFileFaults(files), std::vector<std::string>{}) << root.ErrorLog();

    WriteAll(prefix / "bin/zencp", "");
    ::chown((prefix / "bin/zencp").c_str(), 4731, 4731);
    ::chmod(library.path().c_str(), 0666);
    ::chmod((prefix / "bin").c_str(), 0777);
    EXPECT_EQ(ProgramFileFaults(files),
              (std::vector<std::string>{
                  (prefix / "bin/zencp").string() + " is not owned by root",
                  library.path().string() + " is writable by accounts other than root",
                  (prefix / "bin").string() + " is writable by accounts other than root"}));
    const auto stat = [](const fs::path& path) {
        struct stat status {};
        ::stat(path.c_str(), &status);
        return status;
    };
    EXPECT_EQ(stat(prefix / "bin/zencp").st_uid, 4731u);
    EXPECT_EQ(stat(library.path()).st_mode & 07777, 0666u);
    ::chmod((prefix / "bin").c_str(), 0755);
    ::chmod(library.path().c_str(), 0644);
    EXPECT_NE(root.ErrorLog().find((prefix / "bin/zencp").string() + " is not owned by root"),
              std::string::npos);
}

}  // namespace
}  // namespace zen::test
