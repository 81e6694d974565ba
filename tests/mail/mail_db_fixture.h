#pragma once

#include <functional>
#include <optional>
#include <string>

#include "common/db/db_manager.h"
#include "common/db/records.h"
#include "mail/mail_test_support.h"
#include "platform/clock.h"
#include "platform/named_mutex.h"
#include "platform/text.h"
#include "support/temp_root.h"

namespace zen::test {

// A database made by the creator under the test's root, with "tom" as the current user, and
// a real SMTP server on loopback for its outgoing-mail account.
class MailDbTest : public RootedTest {
protected:
    void SetUp() override {
        ASSERT_EQ(db.Init(true), 1);
        db.SetCurrentUserName(u"tom");
    }
    void TearDown() override {
        SetNowForTesting(std::nullopt);
        db.Term();
    }

    AiosmtpdServer StartServer(const AiosmtpdServer::Options& options = {}) {
        return AiosmtpdServer(root / "received", options);
    }

    // Changes the options as the panel does: under the options mutex, then saved.
    void EditOptions(const std::function<void(Options&)>& edit) {
        const NamedMutexLock lock(db.OptionsMutex());
        edit(*db.LockOptions());
        ASSERT_EQ(db.SaveOptionsAndNotify(), 1);
    }

    // The outgoing-mail account: the loopback server, a sender and the recipients.
    void UseServer(uint16_t port, std::u16string_view to = u"admin@example.org") {
        EditOptions([&](Options& options) {
            SetFieldText(options.SMTPServer, u"127.0.0.1");
            options.Port = port;
            SetFieldText(options.SMTPFrom, u"zentimo@example.org");
            SetFieldText(options.SMTPTo, to);
        });
    }

    CDBManager db;
};

}  // namespace zen::test
