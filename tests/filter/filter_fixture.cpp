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

namespace {

// Edits the first record that matches, saves the table and tells every process. 1 when done.
template <typename Record, typename Match>
int EditRecord(FastTable<Record>& table, Match match, const std::function<void(Record&)>& edit) {
    const int saved = table.Update([&](typename FastTable<Record>::Set& records) {
        for (auto it = records.begin(); it != records.end(); ++it) {
            if (match(*it)) {
                Record record = *it;
                edit(record);
                records.erase(it);
                records.insert(record);
                return true;
            }
        }
        return false;
    });
    CDBManager::PulseReload();
    return saved;
}

}  // namespace

void FilterRootTest::EditKids(const std::function<void(FastUsersRecord&)>& edit) {
    const auto isKids = [](const FastUsersRecord& record) {
        return FieldText(record.name) == std::u16string_view(kKids);
    };
    ASSERT_EQ(EditRecord(admin.Users(), isKids, edit), 1);
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
    const auto isEntry = [&](const FastCustomRecord& entry) {
        return entry.Mode == 1 && FieldText(entry.UserID) == owner &&
               FieldText(entry.szVal) == path;
    };
    ASSERT_EQ(EditRecord(admin.Customs(), isEntry, edit), 1);
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
