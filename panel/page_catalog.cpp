#include "panel/page_catalog.h"

#include "panel/controls/dlg_base.h"

namespace zen::panel {

const std::vector<Section>& Sections() {
    static const std::vector<Section> sections = {
        {102, "CDlgFirstComputerScheduler", {"CDlgComputerTimetable", "CDlgComputerDailyLimits"}},
        {103,
         "CDlgFirstInternetScheduler",
         {"CDlgInternetTimetable", "CDlgInternetDailyLimits", "CDlgTrustedPrograms"}},
        {104,
         "CDlgFirstProgramsScheduler",
         {"CDlgProgramsTimetable", "CDlgProgramsDailyTimeLimits", "CDlgControlledPrograms"}},
        {105, "CDlgFirstCDDVDScheduler", {"CDlgCDTimetable", "CDlgCDDailyLimits"}},
        {106,
         "CDlgFirstRemovableScheduler",
         {"CDlgRemovableTimetable", "CDlgRemovableDailyLimits"}},
        {107, "CDlgFirstWarningsAndLogs", {"CDlgGeneralWarnings", "CDlgProgramsActivity"}},
        {108,
         "CDlgFirstSettings",
         {"CDlgUsersGroups", "CDlgAddChangePassword", "CDlgImportExport",
          "CDlgEmailNotifications"}},
    };
    return sections;
}

void PageCatalog::Register(const QString& pageClass, Factory factory) {
    factories_.insert(pageClass, std::move(factory));
}

CDlgBase* PageCatalog::Create(const QString& pageClass, CDBManager& db, QWidget* parent) const {
    const auto it = factories_.find(pageClass);
    if (it == factories_.end()) {
        return nullptr;
    }
    CDlgBase* page = (*it)(db, parent);
    page->setObjectName(pageClass);
    return page;
}

}  // namespace zen::panel
