#include "common/mail/daily_report.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string_view>

#include "common/db/db_manager.h"
#include "common/db/error_log.h"
#include "common/db/log_records.h"
#include "common/mail/notifications.h"
#include "common/mail/report_folder.h"
#include "common/mail/zen_zip.h"
#include "platform/clock.h"
#include "platform/named_mutex.h"
#include "platform/text.h"
#include "platform/unique_fd.h"

namespace zen {
namespace {

// UTF-16LE without a byte-order mark, whatever the byte order of this machine.
std::string Utf16LeBytes(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

bool WriteWhole(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// The scratch text of one log goes into the archive and is deleted again, also when the
// archive throws. A text that cannot be written is left out of the archive.
void AddLog(CZenZip& zip, const std::filesystem::path& scratch, std::u16string_view text,
            const char* nameInArchive) {
    struct Remove {
        const std::filesystem::path& path;
        ~Remove() { ::unlink(path.c_str()); }
    } remove{scratch};
    const std::string bytes = Utf16LeBytes(text);
    {
        const UniqueFd fd(
            ::open(scratch.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd || !WriteWhole(fd.get(), bytes)) {
            return;
        }
    }
    zip.AddNewFile(scratch.string(), nameInArchive);
}

void BuildArchive(CDBManager& db, ReportRun run, const std::filesystem::path& archive,
                  const std::filesystem::path& scratch) {
    CZenZip zip;
    zip.Open(archive.string());
    const std::u16string password(FieldText(db.OptionsCopy().reportPassword));
    const auto converted = Utf16ToUtf8Strict(password);
    // The logs must never leave unprotected because the password could not be converted.
    if (!converted) {
        throw CZipException("the report password cannot be converted");
    }
    zip.SetPassword(*converted);
    // A test shows the archive arrives and opens; it carries no one's logs.
    const bool test = run == ReportRun::Test;
    AddLog(zip, scratch, test ? u"Test" : LogLines(db.Warnings(), LogKind::Warnings),
           "ZenWarnings.log");
    AddLog(zip, scratch, test ? u"Test" : LogLines(db.Activity(), LogKind::Activity),
           "ZenProgramsActivity.log");
    zip.Close();
}

void StoreLastReportTime(CDBManager& db) {
    db.UpdateOptions([](Options& options) {
        options.lastReportTime = Now();
        return true;
    });
}

}  // namespace

int MakeDailyReport(CDBManager& db, ReportRun run, std::string* response) {
    std::filesystem::path archive;
    try {
        const auto folder = PrivateReportFolder();
        if (!folder) {
            throw CZipException("no private report folder");
        }
        archive = *folder / "dreport.zip";
        const std::filesystem::path scratch = *folder / "dlog.txt";
        ::unlink(archive.c_str());
        ::unlink(scratch.c_str());
        BuildArchive(db, run, archive, scratch);
    } catch (const CZipException&) {
        LogError("Error occured while creating zip archive");
        return 0;
    }
    if (run == ReportRun::Daily) {
        StoreLastReportTime(db);
    }
    std::u16string body = u"Automated daily report\r\nUser: ";
    body += db.CurrentUserName();
    body += u"\r\n Computer: ";
    body += db.ComputerName();
    // The archive stays until the next report replaces it.
    return SendMail(db, &archive, u"Automated daily report", body, response);
}

}  // namespace zen
