#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <thread>

namespace zen {
class CDBManager;
}

namespace zen::panel {

// Sends the test mails of the "Email Notifications" page on a worker thread, so the panel
// keeps answering while a server is slow or silent (the mailer gives up after its time-out).
// The answer comes back on the panel's thread as `finished`. One send at a time; the
// destructor waits for a send in progress.
class MailTestSender : public QObject {
    Q_OBJECT
public:
    enum class Kind { DailyReport, Notification };

    MailTestSender(CDBManager& db, QObject* parent);
    ~MailTestSender() override;

    // False (and nothing started) while a send is still running.
    bool Start(Kind kind);
    bool busy() const { return busy_; }

signals:
    // The server's last answer ("250 ..." when the mail was taken), or why nothing was sent.
    void finished(bool sent, const QString& answer);

private:
    CDBManager& db_;
    std::atomic<bool> busy_{false};
    std::thread worker_;
};

}  // namespace zen::panel
