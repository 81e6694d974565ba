#pragma once

#include <QObject>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "common/db/records.h"

namespace zen {
class CDBManager;
class NamedEvent;
}  // namespace zen

namespace zen::panel {

// The users table as saved now (whatever another process saved since this one last looked),
// in table order.
std::vector<FastUsersRecord> StoredUsers(CDBManager& db);
std::optional<FastUsersRecord> StoredRecord(CDBManager& db, std::u16string_view name);

// Tells the pages of the GUI thread that someone pulsed "__Zentimo_Reload_Event__" (zenctl,
// the service or this panel), so a page that shows stored rules shows them again.
class ReloadPulse : public QObject {
    Q_OBJECT
public:
    static constexpr int kPollMs = 200;
    explicit ReloadPulse(QObject* parent);
    ~ReloadPulse() override;

signals:
    void pulsed();

private:
    std::unique_ptr<NamedEvent> event_;
    uint32_t seen_ = 0;
};

}  // namespace zen::panel
