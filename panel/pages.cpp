#include "panel/page_catalog.h"
#include "panel/pages/email_notifications_page.h"
#include "panel/pages/import_export_page.h"
#include "panel/pages/log_page.h"
#include "panel/pages/overview_page.h"
#include "panel/pages/programs_list_page.h"
#include "panel/pages/schedule_pages.h"
#include "panel/pages/set_password_page.h"
#include "panel/pages/users_groups_page.h"

namespace zen::panel {

// Every page class the panel has registers here; a page the main window asks for and finds
// missing is shown as a stand-in.
PageCatalog PanelPages() {
    PageCatalog catalog;
    RegisterOverviewPages(catalog);
    RegisterSetPasswordPage(catalog);
    RegisterProgramsListPages(catalog);
    RegisterLogPages(catalog);
    RegisterEmailNotificationsPage(catalog);
    RegisterImportExportPage(catalog);
    RegisterSchedulePages(catalog);
    RegisterUsersGroupsPage(catalog);
    return catalog;
}

}  // namespace zen::panel
