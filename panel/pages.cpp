#include "panel/page_catalog.h"
#include "panel/pages/overview_page.h"
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
    RegisterSchedulePages(catalog);
    RegisterUsersGroupsPage(catalog);
    return catalog;
}

}  // namespace zen::panel
