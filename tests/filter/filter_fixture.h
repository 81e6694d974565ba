#pragma once

// A rules database under a temporary root with the group "Kids" and its user "kid", whom only
// the root's etc/passwd names (uid 60123).
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "common/db/db_manager.h"
#include "common/db/records.h"
#include "support/temp_root.h"

namespace zen::test {

inline constexpr uid_t kKidUid = 60123;
inline constexpr char16_t kKids[] = u"Kids";

class FilterRootTest : public RootedTest {
public:
    void SetUp() override;
    void TearDown() override { admin.Term(); }

    // Changes the group's record in the users table (what the panel saves).
    void EditKids(const std::function<void(FastUsersRecord&)>& edit);
    void SetClockLock(bool on);
    void AddProgram(std::u16string_view owner, const std::filesystem::path& program,
                    const std::function<void(FastCustomRecord&)>& edit = {});

    std::vector<WarningRecord> Warnings();
    std::size_t MessageCount();

    CDBManager admin;
};

// Every quarter hour of a timetable allowed or forbidden.
void FillTimetable(Timetable& timetable, bool allowed);

}  // namespace zen::test
