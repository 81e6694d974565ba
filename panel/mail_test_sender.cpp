#include "panel/mail_test_sender.h"

#include <QMetaObject>
#include <string>

#include "common/mail/daily_report.h"
#include "common/mail/notifications.h"
#include "panel/dialog_widgets.h"
#include "panel/strings.h"

namespace zen::panel {
namespace {

// What the administrator reads when the mail went nowhere near a server.
QString Answer(const std::string& response, MailTestSender::Kind kind) {
    if (!response.empty()) {
        return QString::fromStdString(response);
    }
    return kind == MailTestSender::Kind::DailyReport
               ? QStringLiteral("Error occured while creating zip archive")
               : QStringLiteral("A notification was sent moments ago; try again in 15 seconds.");
}

}  // namespace

MailTestSender::MailTestSender(CDBManager& db, QObject* parent) : QObject(parent), db_(db) {}

MailTestSender::~MailTestSender() {
    if (worker_.joinable()) {
        worker_.join();
    }
}

bool MailTestSender::Start(Kind kind) {
    if (busy_.exchange(true)) {
        return false;
    }
    if (worker_.joinable()) {
        worker_.join();  // the last send has ended: busy_ was clear
    }
    const std::u16string notification = ToU16(Text(272));
    worker_ = std::thread([this, kind, notification] {
        std::string response;
        if (kind == Kind::DailyReport) {
            MakeDailyReport(db_, ReportRun::Test, &response);
        } else {
            SendNotification(db_, notification, &response);
        }
        const bool sent = response.starts_with("250");
        const QString answer = Answer(response, kind);
        // Queued to this object's thread; the destructor joins first, so `this` is alive.
        QMetaObject::invokeMethod(
            this,
            [this, sent, answer] {
                busy_ = false;
                emit finished(sent, answer);
            },
            Qt::QueuedConnection);
    });
    return true;
}

}  // namespace zen::panel
