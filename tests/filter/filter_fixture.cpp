#include "filter_fixture.h"

#include <cstring>

#include "common/db/checksum.h"
#include "common/db/log_records.h"
#include "common/db/rules_editor.h"
#include "common/db/rules_model.h"
#include "platform/text.h"

namespace zen::test {

void FilterRootTest::SetUp() {
    std::filesystem::create_directories(root / "etc");
    WriteAll(root / "etc/passwd",
             "root:x:0:0::/root:/bin/sh\nkid:x:60123:60123::/nonexistent:/bin/sh\n");
    ASSERT_EQ(admin.Init(true), 1);
    ASSERT_EQ(admin.SaveOptionsAndNotify(), 1);
    ASSERT_EQ(AddGroup(admin, kKids), EditStatus::Done);
    ASSERT_EQ(AddUser(admin, u"kid", kKids), EditStatus::Done);
}

void FilterRootTest::EditKids(const std::function<void(FastUsersRecord&)>& edit) {
    const int saved = admin.Users().Update([&](UsersTable::Set& records) {
        for (auto it = records.begin(); it != records.end(); ++it) {
            if (FieldText(it->name) == std::u16string_view(kKids)) {
                FastUsersRecord group = *it;
                edit(group);
                records.erase(it);
                records.insert(group);
                return true;
            }
        }
        return false;
    });
    ASSERT_EQ(saved, 1);
    CDBManager::PulseReload();
}

void FilterRootTest::SetClockLock(bool on) {
    ASSERT_EQ(EditOptions(admin,
                          [&](Options& options) {
                              options.clockLock = on ? 1 : 0;
                              return EditStatus::Done;
                          }),
              EditStatus::Done);
}

void FilterRootTest::AddProgram(std::u16string_view owner, const std::filesystem::path& program,
                                const std::function<void(FastCustomRecord&)>& edit) {
    const std::u16string path = Utf8ToUtf16(program.string());
    ASSERT_EQ(AddProgramEntry(admin, 1, owner, path, CheckSum(program)), EditStatus::Done);
    if (!edit) {
        return;
    }
    const int saved = admin.Customs().Update([&](CustomsTable::Set& records) {
        for (auto it = records.begin(); it != records.end(); ++it) {
            if (it->Mode == 1 && FieldText(it->UserID) == owner && FieldText(it->szVal) == path) {
                FastCustomRecord entry = *it;
                edit(entry);
                records.erase(it);
                records.insert(entry);
                return true;
            }
        }
        return false;
    });
    ASSERT_EQ(saved, 1);
    CDBManager::PulseReload();
}

std::vector<WarningRecord> FilterRootTest::Warnings() {
    std::vector<WarningRecord> records;
    VisitLog<WarningRecord>(admin.Warnings(),
                            [&](const WarningRecord& record) { records.push_back(record); });
    return records;
}

std::size_t FilterRootTest::MessageCount() {
    admin.Messages().ReloadIfChanged();
    return admin.Messages().WithRecords([](MessagesTable::Set& set) { return set.size(); });
}

void FillTimetable(Timetable& timetable, bool allowed) {
    std::memset(timetable.rows, allowed ? 0xFF : 0x00, sizeof timetable.rows);
}

}  // namespace zen::test
