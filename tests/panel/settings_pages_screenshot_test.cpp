#include <QDir>
#include <QScreen>

#include "common/db/log_records.h"
#include "common/db/rules_editor.h"
#include "panel/add_program_dialog.h"
#include "panel/controls/zen_tab_ctrl.h"
#include "panel/email_account_dialog.h"
#include "panel/main_window.h"
#include "panel/page_catalog.h"
#include "panel_fixture.h"

namespace zen::panel::test {
namespace {

// The pictures of the program lists, the logs and the e-mail and settings-file pages, each in
// the main window, and of their dialogs; taken like the overview screenshots.
using ScreenshotsOfListsAndSettings = ScreenshotTest;

TEST_F(ScreenshotsOfListsAndSettings, EveryPageAndDialog) {
    CDBManager db;
    ASSERT_EQ(db.Init(false), 1);
    db.SetCurrentUser();
    AddProgramEntry(db, 1, u"All Users", u"/usr/bin/thunderbird", 0x1A2B3C4D);
    AddProgramEntry(db, 2, u"Guests", u"/usr/games/supertux2", 0x0BADF00D);
    AddWarning(db, u"Program is blocked", u"/usr/games/supertux2", 1, u"Outside the timetable");
    AddActivity(db, 1'700'000'000, u"supertux2", u"/usr/games/supertux2", 0);
    const auto save = [&](QWidget* widget, const QString& name) {
        Spin(100);
        EXPECT_TRUE(Save(widget->grab(), name)) << name.toStdString();
    };

    CDlgZenCP window(db, PanelPages());
    window.show();
    const struct {
        int section;
        int index;
        const char* name;
    } pages[] = {
        {1, 2, "page_exceptions_list"}, {2, 2, "page_programs_list"},
        {5, 0, "page_warnings_log"},    {5, 1, "page_programs_activity"},
        {6, 2, "page_export_import"},   {6, 3, "page_email_notifications"},
    };
    for (const auto& page : pages) {
        window.strip()->choose(page.section);
        window.ShowSectionPage(page.index);
        save(&window, page.name);
    }
    window.hide();

    CDlgAddProgram add(db, nullptr);
    CDlgProgramFromMemory memory(nullptr);
    CDlgEmailAccountSettings account(db, nullptr);
    for (QWidget* dialog : std::initializer_list<QWidget*>{&add, &memory, &account}) {
        dialog->show();
        save(dialog, dialog->objectName());
        dialog->hide();
    }
    db.Term();
}

}  // namespace
}  // namespace zen::panel::test
