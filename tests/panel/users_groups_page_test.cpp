#include <QComboBox>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>

#include "common/db/rules_editor.h"
#include "panel/controls/label_ctrl.h"
#include "panel/controls/zen_button_ctrl.h"
#include "panel/controls/zen_check_box.h"
#include "panel/controls/zen_tab_ctrl.h"
#include "panel/main_window.h"
#include "panel/page_catalog.h"
#include "panel/pages/new_group_user_dialog.h"
#include "panel/pages/page_geometry.h"
#include "panel/pages/users_groups_page.h"
#include "panel/tray.h"
#include "panel_fixture.h"
#include "support/temp_root.h"
#include "zenctl/zenctl_runner.h"

namespace zen::panel::test {
namespace {

// The page inside a real main window (the tray follows "Disable filtering"), over a machine
// whose accounts are root, a daemon, alice, bob and nobody, with a group "Kids" holding "tim".
class UsersGroupsTest : public PanelTest {
protected:
    UsersGroupsTest() {
        std::filesystem::create_directories(root / "etc");
        zen::test::WriteAll(root / "etc/passwd",
                            "root:x:0:0::/root:/bin/sh\n"
                            "daemon:x:1:1::/:/usr/sbin/nologin\n"
                            "alice:x:1000:1000::/home/alice:/bin/sh\n"
                            "bob:x:1001:1001::/home/bob:/bin/sh\n"
                            "nobody:x:65534:65534::/:/usr/sbin/nologin\n");
        EXPECT_EQ(db.Init(false), 1);
        EXPECT_EQ(AddGroup(db, u"Kids"), EditStatus::Done);
        EXPECT_EQ(AddUser(db, u"tim", u"Kids"), EditStatus::Done);
        EXPECT_EQ(AddUser(db, u"system", u"Guests"), EditStatus::Done);
        EXPECT_EQ(AddUser(db, u"daemon", u"Guests"), EditStatus::Done);
        window = std::make_unique<CDlgZenCP>(db, PanelPages());
        window->OpenPanel();
        window->ChooseSection(6);
        window->ShowSectionPage(0);
        page = qobject_cast<CDlgUsersGroups*>(window->currentPage());
        EXPECT_NE(page, nullptr);
    }
    ~UsersGroupsTest() override {
        window.reset();
        db.Term();
    }

    QTreeWidgetItem* Item(const QString& name) {
        const QList<QTreeWidgetItem*> found =
            page->tree()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.first();
    }
    void Select(const QString& name) {
        QTreeWidgetItem* item = Item(name);
        ASSERT_NE(item, nullptr) << name.toStdString();
        page->tree()->setCurrentItem(item);
    }
    bool Enabled(int buttonId) { return page->button(buttonId)->isEnabled(); }
    static void Click(QWidget* control) {
        QTest::mouseClick(control, Qt::LeftButton, {}, control->rect().center());
    }
    // The next name dialog gets `name` typed, or chosen, and Ok.
    static void AnswerName(const QString& name, QStringList* offered = nullptr) {
        WhenModal<CDlgNewGroupUser>([name, offered](CDlgNewGroupUser* dialog) {
            if (dialog->loginCombo() != nullptr) {
                for (int i = 0; i < dialog->loginCombo()->count(); ++i) {
                    if (offered != nullptr) {
                        *offered << dialog->loginCombo()->itemText(i);
                    }
                }
                dialog->loginCombo()->setCurrentText(name);
            } else {
                dialog->nameEdit()->setText(name);
            }
            dialog->accept();
        });
    }
    static void AnswerQuestion(QMessageBox::StandardButton answer) {
        WhenModal<QMessageBox>([answer](QMessageBox* box) { box->done(answer); });
    }

    CDBManager db;
    std::unique_ptr<CDlgZenCP> window;
    CDlgUsersGroups* page = nullptr;
};

TEST_F(UsersGroupsTest, TreeShowsGroupsAndUsersButNoServiceAccountAndSelectsTheRunningAccount) {
    QStringList groups;
    for (int i = 0; i < page->tree()->topLevelItemCount(); ++i) {
        groups << page->tree()->topLevelItem(i)->text(0);
    }
    EXPECT_TRUE(groups.contains("Guests") && groups.contains("Kids") &&
                groups.contains("Administrators"))
        << groups.join(",").toStdString();
    ASSERT_NE(Item("tim"), nullptr);
    EXPECT_EQ(Item("tim")->parent()->text(0), "Kids");
    EXPECT_EQ(Item("system"), nullptr) << "a service account's record is never listed";
    EXPECT_EQ(Item("daemon"), nullptr) << "nor is a system account of the machine";
    ASSERT_NE(page->tree()->currentItem(), nullptr);
    EXPECT_EQ(page->tree()->currentItem()->text(0), "alice");

    for (const QString builtIn : {"Administrators", "Users", "Guests"}) {
        Select(builtIn);
        EXPECT_FALSE(Enabled(1126)) << builtIn.toStdString();
        EXPECT_FALSE(Enabled(1099)) << builtIn.toStdString();
        EXPECT_TRUE(Enabled(1125));
    }
    Select("Kids");
    EXPECT_TRUE(Enabled(1126) && Enabled(1099) && Enabled(1125));
    Select("tim");
    EXPECT_TRUE(Enabled(1126) && Enabled(1099));
    EXPECT_FALSE(Enabled(1125)) << "users are added to a group";
}

TEST_F(UsersGroupsTest, DisabledButtonsAreDrawnWithTheDisabledPicture) {
    Select("Guests");
    for (const int id : {1126, 1099}) {
        ASSERT_FALSE(Enabled(id));
        EXPECT_TRUE(DrawnWith(page->button(id), Picture::ButtonDisabled)) << id;
        EXPECT_FALSE(DrawnWith(page->button(id), Picture::ButtonNormal)) << id;
    }
    EXPECT_TRUE(DrawnWith(page->button(1124), Picture::ButtonNormal));
    Select("Kids");
    EXPECT_TRUE(DrawnWith(page->button(1126), Picture::ButtonNormal));
}

TEST_F(UsersGroupsTest, TabWalksEveryControlOfThePageAndSpaceOnNewGroupOpensItsDialog) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    Select("Kids");
    page->customWarningBox()->setChecked(true);  // so the warning's edit takes part
    const auto link = [&](int id) {
        for (CLabelCtrl* candidate : page->findChildren<CLabelCtrl*>()) {
            if (candidate->controlId() == id) {
                return static_cast<QWidget*>(candidate);
            }
        }
        return static_cast<QWidget*>(nullptr);
    };
    const std::vector<QWidget*> expected{
        page->tree(),        page->button(1124), page->button(1125), page->button(1126),
        page->button(1099),  page->button(1123), page->disableBox(), page->customWarningBox(),
        page->warningEdit(), page->toolTipBox(), link(kBackLinkId),  link(kHelpLinkId)};
    page->tree()->setFocus(Qt::TabFocusReason);
    std::vector<QWidget*> walked;
    for (int step = 0; step < 40; ++step) {
        walked.push_back(QApplication::focusWidget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (QApplication::focusWidget() == page->tree()) {
            break;
        }
    }
    ASSERT_GE(walked.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(walked[i], expected[i]) << "step " << i;
    }
    // The rest of the round is the main window's own: the strip and its two links.
    EXPECT_EQ(walked.size(), expected.size() + 3);
    EXPECT_NE(std::find(walked.begin(), walked.end(), window->strip()), walked.end());

    // Space on "New Group" opens its dialog, whose Enter presses Ok; Escape cancels.
    WhenModal<CDlgNewGroupUser>([](CDlgNewGroupUser* dialog) {
        QTest::keyClicks(dialog->nameEdit(), "Teens");
        QTest::keyClick(dialog->nameEdit(), Qt::Key_Return);
    });
    page->button(1124)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(page->button(1124), Qt::Key_Space);
    EXPECT_NE(Item("Teens"), nullptr);
    WhenModal<CDlgNewGroupUser>([](CDlgNewGroupUser* dialog) {
        QTest::keyClicks(dialog->nameEdit(), "Tweens");
        QTest::keyClick(dialog->nameEdit(), Qt::Key_Escape);
    });
    page->button(1124)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(page->button(1124), Qt::Key_Return);
    EXPECT_EQ(Item("Tweens"), nullptr);
}

TEST_F(UsersGroupsTest, NewUserOffersOnlyTheMachinesPersonAccountsNotYetListed) {
    Select("Kids");
    QStringList offered;
    AnswerName("bob", &offered);
    page->NewUser();
    EXPECT_EQ(offered, QStringList{"bob"});
    EXPECT_EQ(StoredGroup(u"bob").ParentID, StoredGroup(u"Kids").UserID);
    EXPECT_EQ(page->tree()->currentItem()->text(0), "bob");

    QString message;
    AnswerName("kids");
    CloseNextMessage(&message);
    page->NewGroup();
    EXPECT_EQ(message, "Already exists");
    AnswerName("Teens");
    page->NewGroup();
    ASSERT_NE(Item("Teens"), nullptr);
    EXPECT_EQ(StoredGroup(u"Teens").ParentID, 0u);
}

TEST_F(UsersGroupsTest, AGroupWithUsersAndTheRunningAccountAreNeverDeleted) {
    QString message;
    Select("Kids");
    CloseNextMessage(&message);
    page->Delete();
    EXPECT_EQ(message, "Group is not empty");

    Select("alice");
    AnswerQuestion(QMessageBox::Yes);
    CloseNextMessage(&message);
    page->Delete();
    EXPECT_EQ(message, "Can't delete current logged user");
    EXPECT_NE(Item("alice"), nullptr);

    Select("tim");
    AnswerQuestion(QMessageBox::No);
    page->Delete();
    EXPECT_NE(Item("tim"), nullptr);
    Select("tim");
    AnswerQuestion(QMessageBox::Yes);
    page->Delete();
    EXPECT_EQ(Item("tim"), nullptr);
    Select("Kids");
    AnswerQuestion(QMessageBox::Yes);
    page->Delete();
    EXPECT_EQ(Item("Kids"), nullptr);
}

TEST_F(UsersGroupsTest, DisableFilteringOnAUserReachesTheWholeGroupAndTheTrayPicture) {
    ASSERT_EQ(AddUser(db, u"bob", u"Guests"), EditStatus::Done);
    page->Refresh();
    ASSERT_TRUE(window->tray().filteringEnabled());
    Select("bob");
    Click(page->disableBox());
    EXPECT_NE(StoredGroup(u"Guests").Disable, 0u);
    EXPECT_NE(StoredGroup(u"alice").Disable, 0u);
    EXPECT_EQ(StoredGroup(u"Kids").Disable, 0u);
    EXPECT_FALSE(window->tray().filteringEnabled()) << "alice's group is no longer filtered";

    Select("tim");
    EXPECT_FALSE(page->disableBox()->isChecked());
    EXPECT_FALSE(page->warningEdit()->isEnabled());
    Click(page->customWarningBox());
    ASSERT_TRUE(page->warningEdit()->isEnabled());
    QTest::keyClicks(page->warningEdit(), "Homework first");
    EXPECT_EQ(page->TestText(), "Homework first");
    const FastUsersRecord kids = StoredGroup(u"Kids");
    EXPECT_EQ(FieldText(kids.CustomWarning), u"Homework first");
    EXPECT_EQ(FieldText(StoredGroup(u"tim").CustomWarning), u"Homework first");
    Select("Guests");
    EXPECT_EQ(page->TestText(), "Warning message");

    Click(page->toolTipBox());
    EXPECT_EQ(StoredOptions().toolTipsOff, 1u);
}

// Drops what is selected in the tree on `target`, as a drag with the mouse ends.
void DropOn(CTreeCtrlEx* tree, QTreeWidgetItem* target) {
    const QPoint at = tree->visualItemRect(target).center();
    std::unique_ptr<QMimeData> data(tree->model()->mimeData({tree->currentIndex()}));
    QDragEnterEvent enter(at, Qt::MoveAction, data.get(), Qt::LeftButton, {});
    QApplication::sendEvent(tree->viewport(), &enter);
    QDragMoveEvent move(at, Qt::MoveAction, data.get(), Qt::LeftButton, {});
    QApplication::sendEvent(tree->viewport(), &move);
    QDropEvent drop(at, Qt::MoveAction, data.get(), Qt::LeftButton, {});
    QApplication::sendEvent(tree->viewport(), &drop);
}

TEST_F(UsersGroupsTest, DraggingAUserOntoAnotherGroupMovesItThere) {
    Select("tim");
    DropOn(page->tree(), Item("Guests"));
    EXPECT_EQ(StoredGroup(u"tim").ParentID, StoredGroup(u"Guests").UserID);
    ASSERT_NE(Item("tim"), nullptr);
    EXPECT_EQ(Item("tim")->parent()->text(0), "Guests");

    // A drop on a user of its own group changes nothing.
    const auto before = zen::test::DataFileBytes();
    Select("tim");
    DropOn(page->tree(), Item("alice"));
    EXPECT_EQ(zen::test::DataFileBytes(), before);
    EXPECT_EQ(Item("tim")->parent()->text(0), "Guests");
}

}  // namespace
}  // namespace zen::panel::test
