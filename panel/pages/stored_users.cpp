#include "panel/pages/stored_users.h"

#include <QTimer>

#include "common/db/db_manager.h"
#include "common/db/name_compare.h"
#include "common/db/object_names.h"
#include "platform/named_event.h"
#include "platform/text.h"

namespace zen::panel {

std::vector<FastUsersRecord> StoredUsers(CDBManager& db) {
    UsersTable& users = db.Users();
    return users.WithRecords([&](UsersTable::Set& records) {
        users.ReloadIfChanged();
        return std::vector<FastUsersRecord>(records.begin(), records.end());
    });
}

std::optional<FastUsersRecord> StoredRecord(CDBManager& db, std::u16string_view name) {
    for (const FastUsersRecord& record : StoredUsers(db)) {
        if (NameCompare(FieldText(record.name), name) == 0) {
            return record;
        }
    }
    return std::nullopt;
}

ReloadPulse::ReloadPulse(QObject* parent)
    : QObject(parent), event_(std::make_unique<NamedEvent>()) {
    if (!event_->Open(kReloadEventName)) {
        return;
    }
    seen_ = event_->Generation();
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this] {
        const uint32_t now = event_->Generation();
        if (now != seen_) {
            seen_ = now;
            emit pulsed();
        }
    });
    poll->start(kPollMs);
}

ReloadPulse::~ReloadPulse() = default;

}  // namespace zen::panel
