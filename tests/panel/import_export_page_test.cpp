#include <gtest/gtest.h>

#include <QSignalSpy>

#include "common/db/rules_editor.h"
#include "page_test.h"
#include "panel/pages/import_export_page.h"
#include "platform/root.h"
#include "support/temp_root.h"
#include "zenctl/zenctl_runner.h"

namespace zen::panel::test {
namespace {

namespace fs = std::filesystem;

class ImportExportPageTest : public PageTest {
protected:
    ImportExportPageTest() {
        // Rules that differ from the defaults everywhere the file reaches.
        EXPECT_EQ(AddGroup(db, u"Kids"), EditStatus::Done);
        EXPECT_EQ(SetLimitMinutes(db, u"Kids", Category::Internet, 0b10, 90), EditStatus::Done);
        EXPECT_EQ(AddProgramEntry(db, 2, u"Kids", u"/usr/games/tetris", 0x80000001u),
                  EditStatus::Done);
        EXPECT_EQ(AddProgramEntry(db, 1, u"All Users", u"/usr/bin/mail", 7), EditStatus::Done);
        EXPECT_EQ(EditOptions(db,
                              [](Options& o) {
                                  o.WarningsSize = 77;
                                  SetFieldText(o.SMTPServer, u"smtp.example.com");
                                  return EditStatus::Done;
                              }),
                  EditStatus::Done);
    }
    // The stored tables, enciphered as they lie on disk.
    std::vector<std::string> Tables() {
        return {zen::test::ReadAll(paths::DataDir() / "ZenUsr.dat"),
                zen::test::ReadAll(paths::DataDir() / "ZenCtb.dat")};
    }
    // Changes what the file holds, so an import has everything to put back.
    void Disturb() {
        ASSERT_EQ(SetLimitMinutes(db, u"Kids", Category::Internet, 0b10, 5), EditStatus::Done);
        ASSERT_EQ(SetDisable(db, u"Guests", true), EditStatus::Done);
        ASSERT_EQ(RemoveProgramEntries(db, 2, u"Kids", u"/usr/games/tetris", std::nullopt),
                  EditStatus::Done);
        ASSERT_NE(Tables(), saved);
    }
    std::vector<std::string> saved;
};

TEST_F(ImportExportPageTest, PanelAndZenctlReadEachOthersFilesToTheSameTables) {
    CDlgImportExport page(db, nullptr);
    saved = Tables();
    const fs::path panelFile = root / "panel.dat";
    const fs::path zenctlFile = root / "zenctl.dat";
    ASSERT_TRUE(page.ExportTo(QString::fromStdString(panelFile.string())));
    const auto exported = zen::test::Zenctl({"export", zenctlFile.string()});
    ASSERT_EQ(exported.code, 0) << exported.err;
    EXPECT_EQ(zen::test::ReadAll(panelFile), zen::test::ReadAll(zenctlFile));

    // Exported by the panel, imported by zenctl.
    Disturb();
    const auto imported = zen::test::Zenctl({"import", panelFile.string()});
    ASSERT_EQ(imported.code, 0) << imported.err;
    EXPECT_EQ(Tables(), saved);
    EXPECT_EQ(StoredOptions().WarningsSize, 77u);

    // Exported by zenctl, imported by the panel, which then reloads its users.
    Disturb();
    QSignalSpy reload(&page, &CDlgBase::usersChanged);
    QString message;
    CloseNextMessage(&message);
    ASSERT_TRUE(page.ImportFrom(QString::fromStdString(zenctlFile.string())));
    EXPECT_EQ(Tables(), saved);
    EXPECT_EQ(reload.size(), 1);
    EXPECT_EQ(message, "Settings imported.");
}

TEST_F(ImportExportPageTest, ABadFileIsRefusedWithItsTextAndChangesNothing) {
    CDlgImportExport page(db, nullptr);
    saved = Tables();
    const struct {
        const char* content;
        const char* text;
    } cases[] = {
        {"not xml at all <",
         "Error: occured while loading file. Reason: bad file format or file is corrupted "},
        {"<doc ver=\"3\"><Options/><Users/><Customs/></doc>", "Invalid file version"},
    };
    for (const auto& c : cases) {
        zen::test::WriteAll(root / "bad.dat", c.content);
        QString message;
        CloseNextMessage(&message);
        EXPECT_FALSE(page.ImportFrom(QString::fromStdString((root / "bad.dat").string())));
        EXPECT_EQ(message, c.text);
        EXPECT_EQ(Tables(), saved);
    }
    QString message;
    CloseNextMessage(&message);
    EXPECT_FALSE(page.ExportTo(QString::fromStdString((root / "no/folder/x.dat").string())));
    EXPECT_FALSE(message.isEmpty());
}

}  // namespace
}  // namespace zen::panel::test
