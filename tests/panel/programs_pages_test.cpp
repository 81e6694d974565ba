#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QTreeWidget>
#include <algorithm>

#include "common/db/checksum.h"
#include "common/db/protected_programs.h"
#include "common/db/rules_editor.h"
#include "page_test.h"
#include "panel/add_program_dialog.h"
#include "panel/dialog_widgets.h"
#include "panel/pages/programs_list_page.h"
#include "panel/program_icons.h"
#include "panel/running_programs.h"
#include "platform/text.h"
#include "support/eventually.h"
#include "support/program_run.h"

namespace zen::panel::test {
namespace {

namespace fs = std::filesystem;

class ProgramsPagesTest : public PageTest {
protected:
    // The entries of that kind as the table holds them: path, group, checksum.
    std::vector<std::tuple<std::u16string, std::u16string, uint32_t>> Entries(uint16_t mode) {
        CDBManager reader;
        EXPECT_EQ(reader.Init(false), 1);
        std::vector<std::tuple<std::u16string, std::u16string, uint32_t>> entries;
        reader.Customs().WithRecords([&](const CustomsTable::Set& records) {
            for (const FastCustomRecord& r : records) {
                if (r.Mode == mode) {
                    entries.emplace_back(FieldText(r.szVal), FieldText(r.UserID), r.dwVal);
                }
            }
        });
        reader.Term();
        return entries;
    }

    static std::vector<QStringList> Rows(const QTreeWidget* list) {
        std::vector<QStringList> rows;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = list->topLevelItem(i);
            rows.push_back({item->text(0), item->text(1), item->text(2)});
        }
        return rows;
    }
};

TEST_F(ProgramsPagesTest, AddingTwiceLeavesOneEntryAndAChangedFileKeepsItsOldChecksum) {
    const fs::path game = root / "games/game";
    fs::create_directories(game.parent_path());
    zen::test::WriteAll(game, std::string(5000, 'a'));
    const uint32_t firstSum = CheckSum(game);
    const QString path = QString::fromStdString(game.string());

    CDlgProgramsList page(db, CDlgProgramsList::kControlled, nullptr);
    page.Refresh();
    const int before = page.list()->topLevelItemCount();
    ASSERT_TRUE(page.Add("Guests", path));
    ASSERT_TRUE(page.Add("Guests", path));
    EXPECT_EQ(Entries(2).size(), static_cast<std::size_t>(before) + 1);
    EXPECT_EQ(std::ranges::count(Entries(2), std::tuple(Utf8ToUtf16(game.string()),
                                                        std::u16string(u"Guests"), firstSum)),
              1);
    const QStringList expected{path, "Guests", QString::asprintf("0x%.08X", firstSum)};
    EXPECT_EQ(std::ranges::count(Rows(page.list()), expected), 1);

    // The exceptions page never shows the controlled entry.
    CDlgProgramsList exceptions(db, CDlgProgramsList::kTrusted, nullptr);
    exceptions.Refresh();
    EXPECT_EQ(std::ranges::count(Rows(exceptions.list()), expected), 0);

    // A rebuilt file: the entry stays with the checksum taken when it was added.
    zen::test::WriteAll(game, std::string(5000, 'b'));
    ASSERT_NE(CheckSum(game), firstSum);
    page.Refresh();
    EXPECT_EQ(std::ranges::count(Rows(page.list()), expected), 1);

    // Delete takes the selected row's entry (its checksum text parsed back) and nothing else.
    const auto rows = Rows(page.list());
    const int index = static_cast<int>(std::ranges::find(rows, expected) - rows.begin());
    page.list()->setCurrentItem(page.list()->topLevelItem(index));
    page.DeleteSelected();
    EXPECT_EQ(std::ranges::count(Rows(page.list()), expected), 0);
    EXPECT_EQ(Entries(2).size(), static_cast<std::size_t>(before));
    page.list()->setCurrentItem(nullptr);
    page.DeleteSelected();  // nothing selected: nothing happens
    EXPECT_EQ(Entries(2).size(), static_cast<std::size_t>(before));
}

TEST_F(ProgramsPagesTest, DeletingAProtectedExceptionAsksFirstAndSaysWhatItKeeps) {
    const std::vector<fs::path> programs = ProtectedPrograms();
    const auto protectedOne = std::ranges::find_if(programs, [](const fs::path& p) {
        return p.filename() != "zencp" && p.filename() != "zensvc";
    });
    if (protectedOne == programs.end()) {
        GTEST_SKIP() << "neither systemd nor a D-Bus daemon on this machine";
    }
    const QString path = QString::fromStdString(protectedOne->string());
    CDlgProgramsList page(db, CDlgProgramsList::kTrusted, nullptr);
    page.Refresh();
    const auto select = [&] {
        const QList<QTreeWidgetItem*> found = page.list()->findItems(path, Qt::MatchExactly);
        page.list()->setCurrentItem(found.isEmpty() ? nullptr : found.first());
        return !found.isEmpty();
    };
    ASSERT_TRUE(select()) << "the set-up lists it";
    const std::size_t before = Entries(1).size();

    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        QString question;
        WhenModal<QMessageBox>([answer, &question](QMessageBox* box) {
            question = box->text();
            box->done(answer);
        });
        ASSERT_TRUE(select());
        page.DeleteSelected();
        EXPECT_TRUE(question.contains("keeps the desktop's own services online"))
            << question.toStdString();
        if (answer == QMessageBox::No) {
            EXPECT_EQ(Entries(1).size(), before) << "No keeps it";
        }
    }
    EXPECT_EQ(Entries(1).size(), before - 1);
    EXPECT_FALSE(select()) << "deleted after Yes";
}

TEST_F(ProgramsPagesTest, AddProgramRefusesAPathWithoutAFileAndOffersTheGroups) {
    CDlgAddProgram dialog(db, nullptr);
    QStringList groups;
    for (int i = 0; i < dialog.groupCombo()->count(); ++i) {
        groups << dialog.groupCombo()->itemText(i);
    }
    EXPECT_TRUE(groups.contains("Guests") && groups.contains("Administrators"))
        << groups.join(",").toStdString();
    EXPECT_FALSE(groups.contains("alice"));  // users are not groups
    EXPECT_EQ(dialog.group(), FromU16(db.CurrentGroupName()));

    for (const fs::path& bad : {root / "missing", root / "etc"}) {
        dialog.pathEdit()->setText(QString::fromStdString(bad.string()));
        QString message;
        CloseNextMessage(&message);
        dialog.accept();
        EXPECT_EQ(message, "File is not found");
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    zen::test::WriteAll(root / "prog", "x");
    dialog.pathEdit()->setText(QString::fromStdString((root / "prog").string()));
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(ProgramsPagesTest, IconsComeFromTheDesktopEntryThatNamesTheProgram) {
    const fs::path user = root / "home/share/applications";
    const fs::path system = root / "usr/share/applications";
    fs::create_directories(user);
    fs::create_directories(system);
    zen::test::WriteAll(system / "game.desktop",
                        "[Desktop Entry]\nName=Game\nExec=env A=1 /usr/games/game --full, %U\n"
                        "Icon=game-icon\n[Desktop Action New]\nIcon=other\n");
    zen::test::WriteAll(system / "mail.desktop",
                        "[Desktop Entry]\nExec=\"mailer\" %u\nIcon=/opt/mail.png\n");
    zen::test::WriteAll(user / "game.desktop",
                        "[Desktop Entry]\nTryExec=/usr/games/game\nIcon=my-game\n");
    const QStringList folders{QString::fromStdString(user.string()),
                              QString::fromStdString(system.string())};
    EXPECT_EQ(DesktopIconName("/usr/games/game", folders), "my-game");  // the user's own first
    EXPECT_EQ(DesktopIconName("/usr/bin/mailer", folders), "/opt/mail.png");  // by file name
    EXPECT_EQ(DesktopIconName("/usr/bin/other", folders), "");
    EXPECT_FALSE(ProgramIcon("/no/such/program").isNull());  // the generic icon
}

TEST_F(ProgramsPagesTest, RunningProgramsNeverShowAccountsTheSystemNeverControls) {
    constexpr uid_t kChild = 47031;
    constexpr uid_t kDaemon = 471;
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root: programs run under other accounts";
    }
    if (::getpwuid(kChild) != nullptr || ::getpwuid(kDaemon) != nullptr) {
        GTEST_SKIP() << "the test's uids are accounts of this machine";
    }
    fs::create_directories(root / "etc");
    zen::test::WriteAll(root / "etc/passwd",
                        "root:x:0:0::/root:/bin/sh\n"
                        "daemonish:x:471:471::/:/bin/false\n"
                        "kid:x:47031:47031::/home/kid:/bin/sh\n");
    const fs::path program = root / "bin/game";
    zen::test::InstallProgram("/bin/sleep", program);
    zen::test::ProgramRun kid(program, kChild);
    zen::test::ProgramRun daemon(program, kDaemon);
    ASSERT_TRUE(zen::test::Eventually([&] { return kid.Started() && daemon.Started(); }));

    const auto programs = RunningPrograms();
    EXPECT_EQ(std::ranges::count(programs, RunningProgram{program.string(), "kid"}), 1);
    for (const RunningProgram& running : programs) {
        EXPECT_NE(running.owner, "root");  // this test itself runs as root
        EXPECT_NE(running.owner, "daemonish");
    }

    CDlgProgramFromMemory memory(nullptr);
    const auto found =
        memory.list()->findItems(QString::fromStdString(program.string()), Qt::MatchExactly, 0);
    ASSERT_EQ(found.size(), 1);
    memory.list()->setCurrentItem(found.front());
    memory.accept();
    EXPECT_EQ(memory.chosenPath(), QString::fromStdString(program.string()));
}

}  // namespace
}  // namespace zen::panel::test
