#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "common/db/log_records.h"
#include "common/db/options_file.h"
#include "common/mail/daily_report.h"
#include "common/mail/report_folder.h"
#include "mail/mail_db_fixture.h"
#include "support/child_process.h"

namespace zen {
namespace {

namespace fs = std::filesystem;
using test::AiosmtpdServer;

constexpr int64_t kNow = 1'709'643'900;  // Tue 2024-03-05 13:05:00 UTC
constexpr int64_t kEarlierReport = 1'709'000'000;

// Logs with one warning and one program run of "tom", and a report password.
class DailyReportTest : public test::MailDbTest {
protected:
    void SetUp() override {
        test::MailDbTest::SetUp();
        ::setenv("TZ", "UTC0", 1);
        ::tzset();
        SetNowForTesting(kNow);
        ASSERT_EQ(AddWarning(db, u"Program blocked", u"game", 1, u"Not now"), 1);
        ASSERT_EQ(AddActivity(db, kNow - 600, u"game", u"/usr/games/game", 3), 1);
        EditOptions([](Options& options) {
            SetFieldText(options.reportPassword, u"s3cret");
            options.lastReportTime = kEarlierReport;
        });
    }
    void TearDown() override {
        ::unsetenv("TZ");
        ::tzset();
        test::MailDbTest::TearDown();
    }

    // What the options file says, not this process's copy.
    int64_t StoredLastReportTime() {
        Options stored{};
        EXPECT_EQ(SerializeOptions(stored, false, false, false, db.OptionsMutex()), 1);
        return stored.lastReportTime;
    }

    const fs::path folder = root / "var/cache/zentimo";
};

// UTF-16LE bytes of an ASCII text.
std::string Utf16Le(const std::string& ascii) {
    std::string bytes;
    for (const char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

TEST_F(DailyReportTest, ReachesTheServerWithBothLogsUnderThePassword) {
    AiosmtpdServer server = StartServer();
    UseServer(server.port());
    std::string response;
    EXPECT_EQ(MakeDailyReport(db, ReportRun::Daily, &response), 1);
    EXPECT_EQ(response.substr(0, 4), "250 ");

    ASSERT_EQ(server.MessageCount(), 1);
    const std::string mail = server.Message(1);
    EXPECT_NE(mail.find("Subject: Automated daily report\r\n"), std::string::npos);
    EXPECT_NE(mail.find("Automated daily report\r\nUser: tom\r\n Computer: " +
                        Utf16ToUtf8(db.ComputerName()) + "\r\n"),
              std::string::npos)
        << mail;
    const std::string zip = test::AttachedFile(mail, "dreport.zip");
    ASSERT_FALSE(zip.empty()) << mail;
    // The archive stays in the private folder until the next report.
    EXPECT_EQ(zip, test::ReadAll(folder / "dreport.zip"));
    EXPECT_FALSE(fs::exists(folder / "dlog.txt"));

    const fs::path out = root / "extracted";
    test::WriteAll(root / "attached.zip", zip);
    ASSERT_EQ(std::system(("7z x -y -ps3cret -o" + out.string() + " " +
                           (root / "attached.zip").string() + " >/dev/null 2>&1")
                              .c_str()),
              0);
    EXPECT_EQ(test::ReadAll(out / "ZenWarnings.log"),
              Utf16Le("tom|game|Program blocked|Not now|Tue Mar 05 01:05:00 PM\r\n"));
    EXPECT_EQ(test::ReadAll(out / "ZenProgramsActivity.log"),
              Utf16Le("tom|game|Tue Mar 05 12:55:00 PM|Tue Mar 05 01:05:00 PM|0|0\r\n"));
    // Without the password 7-Zip gets nothing out.
    EXPECT_NE(std::system(("7z x -y -pwrong -o" + (root / "wrong").string() + " " +
                           (root / "attached.zip").string() + " >/dev/null 2>&1")
                              .c_str()),
              0);

    EXPECT_EQ(StoredLastReportTime(), kNow);
    EXPECT_EQ(db.OptionsCopy().lastReportTime, kNow);
}

TEST_F(DailyReportTest, TestRunSendsButKeepsTheLastReportTime) {
    AiosmtpdServer server = StartServer();
    UseServer(server.port());
    EXPECT_EQ(MakeDailyReport(db, ReportRun::Test), 1);
    ASSERT_EQ(server.MessageCount(), 1);
    EXPECT_FALSE(test::AttachedFile(server.Message(1), "dreport.zip").empty());
    EXPECT_EQ(StoredLastReportTime(), kEarlierReport);
}

TEST_F(DailyReportTest, MailFailureStillCountsAsSentButTheResponseSaysWhy) {
    UseServer(1, u",,,");
    std::string response;
    EXPECT_EQ(MakeDailyReport(db, ReportRun::Daily, &response), 1);
    EXPECT_EQ(response, "451 Requested action aborted: local error who am I mailing");
    EXPECT_EQ(StoredLastReportTime(), kNow);
}

// Root passes every permission check, so each failure here is one of kind, not of access.
TEST_F(DailyReportTest, NoArchiveNoMailAndTheLastReportTimeStays) {
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> prepare;
        const char* folderLine;  // what the folder check logs first, if anything
    };
    const fs::path elsewhere = root / "elsewhere";
    const Case cases[] = {
        {"archive path is a directory",
         [](const fs::path& f) {
             fs::create_directories(f / "dreport.zip");
             test::WriteAll(f / "dreport.zip/keep", "x");
             fs::permissions(f, fs::perms::owner_all);
         },
         nullptr},
        {"folder is a link",
         [&](const fs::path& f) {
             fs::create_directories(elsewhere);
             fs::permissions(elsewhere, fs::perms::owner_all);
             fs::create_directory_symlink(elsewhere, f);
         },
         "is not a directory of its own"},
        {"folder is a file", [](const fs::path& f) { test::WriteAll(f, "x"); },
         "is not a directory of its own"},
        {"folder belongs to another account",
         [](const fs::path& f) {
             fs::create_directories(f);
             fs::permissions(f, fs::perms::owner_all);
             ASSERT_EQ(::chown(f.c_str(), 65534, 65534), 0);
         },
         "belongs to another account"},
        {"folder is open to others",
         [](const fs::path& f) {
             fs::create_directories(f);
             fs::permissions(f, fs::perms::all);
         },
         "is open to other accounts"},
        // Last: the logs never leave unprotected because the password did not convert.
        {"report password cannot be converted",
         [this](const fs::path&) {
             EditOptions([](Options& options) {
                 SetFieldText(options.reportPassword,
                              u"s3\xD800"
                              u"cret");
             });
         },
         nullptr},
    };
    AiosmtpdServer server = StartServer();
    UseServer(server.port());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder);
        fs::remove_all(elsewhere);
        fs::remove(root / "var/log/zen-err.log");
        fs::create_directories(folder.parent_path());
        c.prepare(folder);

        EXPECT_EQ(MakeDailyReport(db), 0);
        const std::string errors = root.ErrorLog();
        EXPECT_NE(errors.find("Error occured while creating zip archive\r\n"), std::string::npos)
            << errors;
        if (c.folderLine != nullptr) {
            EXPECT_NE(errors.find(c.folderLine), std::string::npos) << errors;
        }
        EXPECT_EQ(server.MessageCount(), 0);
        EXPECT_EQ(StoredLastReportTime(), kEarlierReport);
        EXPECT_EQ(db.OptionsCopy().lastReportTime, kEarlierReport);
        EXPECT_TRUE(!fs::exists(elsewhere) || fs::is_empty(elsewhere));
    }
}

TEST_F(DailyReportTest, FolderIsMadePrivateWhateverTheUmask) {
    const mode_t previous = ::umask(0077 | 0200);
    const auto made = PrivateReportFolder();
    ::umask(previous);
    ASSERT_TRUE(made);
    EXPECT_EQ(*made, folder);
    struct stat info {};
    ASSERT_EQ(::lstat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
}

// Gives up root, then says where its report folder would be.
ZEN_CHILD(report_folder_of_nobody) {
    ::setenv("HOME", "/home/kid", 1);
    ::setenv("XDG_RUNTIME_DIR", "/run/user/1234", 1);
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
        return 3;
    }
    if (ReportFolderLocation() != "/run/user/1234/zentimo") {
        return 1;
    }
    ::unsetenv("XDG_RUNTIME_DIR");
    return ReportFolderLocation() == "/home/kid/.cache/zentimo" ? 0 : 2;
}

TEST(ReportFolderLocation, OtherAccountsUseTheirRuntimeOrCacheFolder) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs to become another account";
    }
    EXPECT_EQ(test::RunChild("report_folder_of_nobody"), 0);
}

}  // namespace
}  // namespace zen
