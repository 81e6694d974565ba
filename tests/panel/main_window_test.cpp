#include <QDesktopServices>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include "common/db/object_names.h"
#include "panel/change_password_dialog.h"
#include "panel/controls/label_ctrl.h"
#include "panel/controls/zen_button_ctrl.h"
#include "panel/controls/zen_tab_ctrl.h"
#include "panel/help.h"
#include "panel/main_window.h"
#include "panel/page_catalog.h"
#include "panel/pages/overview_page.h"
#include "panel/pages/set_password_page.h"
#include "panel/password_dialog.h"
#include "panel/sys_time_changed_dialog.h"
#include "panel/tray.h"
#include "panel_fixture.h"
#include "platform/named_event.h"
#include "platform/text.h"

namespace zen::panel::test {
namespace {

// Answers the next password prompt with `password`; counts the prompts seen.
void AnswerPrompt(const QString& password, int* prompts = nullptr) {
    WhenModal<CDlgPassword>([password, prompts](CDlgPassword* prompt) {
        if (prompts != nullptr) {
            ++*prompts;
        }
        prompt->edit()->setText(password);
        prompt->accept();
    });
}

void CancelPrompt() {
    WhenModal<CDlgPassword>([](CDlgPassword* prompt) { prompt->reject(); });
}

// Answers the next "Close Control Panel" question; keeps its text.
void AnswerClose(QMessageBox::StandardButton answer, QString* text = nullptr) {
    WhenModal<QMessageBox>([answer, text](QMessageBox* box) {
        if (text != nullptr) {
            *text = box->text();
        }
        box->done(answer);
    });
}

class MainWindowTest : public PanelTest {
protected:
    void Open() {
        ASSERT_EQ(db.Init(false), 1);
        window = std::make_unique<CDlgZenCP>(db, PanelPages());
    }
    void TearDown() override {
        window.reset();
        db.Term();
    }
    bool GuestsDisabled() { return StoredGroup(u"Guests").Disable != 0; }

    CDBManager db;
    std::unique_ptr<CDlgZenCP> window;
};

TEST_F(MainWindowTest, WithoutAPasswordEverythingPassesAndTheClockNeverLocks) {
    UseInternetTimetable(u"Guests");
    Open();
    QSignalSpy ended(window.get(), &CDlgZenCP::ended);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(window->tray().filteringEnabled());

    window->OpenPanel();  // no prompt: a prompt would block here
    EXPECT_TRUE(window->isVisible());
    window->DisableFiltering();
    EXPECT_TRUE(GuestsDisabled());
    EXPECT_FALSE(window->tray().filteringEnabled());
    window->EnableFiltering();
    EXPECT_FALSE(GuestsDisabled());
    EXPECT_TRUE(window->tray().filteringEnabled());

    window->ClockTick(2'000'000);
    window->ClockTick(2'100'000);
    EXPECT_EQ(StoredOptions().clockLock, 0u);
    EXPECT_EQ(window->clockDialog(), nullptr);

    // Closing says what the session loses and asks; No keeps the panel.
    QString question;
    AnswerClose(QMessageBox::No, &question);
    window->ClosePanel();
    EXPECT_EQ(ended.count(), 0);
    EXPECT_TRUE(question.contains("Until the next login no warnings will be shown"))
        << question.toStdString();
    AnswerClose(QMessageBox::Yes);
    window->ClosePanel();
    EXPECT_EQ(ended.count(), 1);
    EXPECT_FALSE(window->tray().isShown());
}

TEST_F(MainWindowTest, OpeningAsksThePasswordAndIgnoresRepeatsWhileVisibleOrAsking) {
    SetPassword(u"Secret");
    Open();
    QString message;
    int prompts = 0;

    // Wrong (case counts): refused with its message, the window stays hidden.
    AnswerPrompt("secret", &prompts);
    CloseNextMessage(&message);
    window->OpenPanel();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(message, "The password is incorrect");

    // A double click while the prompt is open does nothing: still one prompt.
    WhenModal<CDlgPassword>([&](CDlgPassword* prompt) {
        ++prompts;
        emit window->tray().openRequested();
        window->OpenPanel();
        QTimer::singleShot(50, prompt, [prompt] {
            prompt->edit()->setText("Secret");
            prompt->accept();
        });
    });
    window->OpenPanel();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(prompts, 2);

    // Visible: a double click asks nothing (a prompt would block the test here).
    window->OpenPanel();
    EXPECT_EQ(prompts, 2);

    // Cancel refuses without a message.
    window->reject();  // the close button: hidden, not ended
    CancelPrompt();
    window->OpenPanel();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, EnterInThePasswordPromptPressesOkAndEscapeCancels) {
    SetPassword(u"Secret");
    Open();
    const auto typeAnd = [](const QString& password, Qt::Key key) {
        WhenModal<CDlgPassword>([password, key](CDlgPassword* prompt) {
            EXPECT_TRUE(prompt->edit()->hasFocus());
            QTest::keyClicks(prompt->edit(), password);
            QTest::keyClick(prompt->edit(), key);
        });
    };
    QString message;
    typeAnd("wrong", Qt::Key_Return);
    CloseNextMessage(&message);
    window->OpenPanel();
    EXPECT_EQ(message, "The password is incorrect");
    EXPECT_FALSE(window->isVisible());

    typeAnd("Secret", Qt::Key_Escape);
    window->OpenPanel();
    EXPECT_FALSE(window->isVisible());

    typeAnd("Secret", Qt::Key_Enter);  // the keypad's
    window->OpenPanel();
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, CtrlTabAndTheArrowsStepThroughTheSections) {
    Open();
    window->OpenPanel();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const int sections = static_cast<int>(Sections().size());
    window->strip()->choose(0);
    QWidget* inside = window->currentPage()->findChild<CLabelCtrl*>();
    ASSERT_NE(inside, nullptr);
    inside->setFocus(Qt::TabFocusReason);
    QTest::keyClick(inside, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(window->currentSection(), 1);
    QTest::keyClick(window.get(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(window->currentSection(), 0);
    QTest::keyClick(window.get(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(window->currentSection(), sections - 1) << "round the strip";

    window->strip()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(window->strip(), Qt::Key_Right);
    EXPECT_EQ(window->currentSection(), 0);
    QTest::keyClick(window->strip(), Qt::Key_Right);
    QTest::keyClick(window->strip(), Qt::Key_Right);
    QTest::keyClick(window->strip(), Qt::Key_Left);
    EXPECT_EQ(window->currentSection(), 1);
}

TEST_F(MainWindowTest, EnableAsksNothingDisableAsksAndCloseNeedsThePassword) {
    SetPassword(u"pw");
    Open();
    QSignalSpy ended(window.get(), &CDlgZenCP::ended);

    CancelPrompt();
    window->DisableFiltering();
    EXPECT_FALSE(GuestsDisabled());
    AnswerPrompt("pw");
    window->DisableFiltering();
    EXPECT_TRUE(GuestsDisabled());
    EXPECT_FALSE(window->tray().filteringEnabled());
    // The tray menu now offers "Enable Zentimo", which runs without any prompt.
    QMenu* menu = window->tray().Menu();
    emit menu->aboutToShow();
    EXPECT_EQ(menu->actions().last()->text(), "Enable Zentimo");
    menu->actions().last()->trigger();
    EXPECT_FALSE(GuestsDisabled());

    AnswerClose(QMessageBox::Yes);
    CancelPrompt();
    window->ClosePanel();
    EXPECT_EQ(ended.count(), 0);
    AnswerClose(QMessageBox::Yes);
    AnswerPrompt("pw");
    window->ClosePanel();
    EXPECT_EQ(ended.count(), 1);
}

TEST_F(MainWindowTest, ChangingThePasswordFromTheTrayNeedsTwoEqualEntries) {
    SetPassword(u"old");
    Open();
    AnswerPrompt("old");
    WhenModal<CDlgChangePassword>([](CDlgChangePassword* dialog) {
        EXPECT_EQ(dialog->oldEdit()->text(), "old");
        EXPECT_FALSE(dialog->oldEdit()->isEnabled());
        dialog->newEdit()->setText("new1");
        dialog->repeatEdit()->setText("new2");
        auto* mismatch = new QString;
        CloseNextMessage(mismatch);
        dialog->accept();  // stays open after the message
        EXPECT_EQ(*mismatch, "Passwords do not match\nPlease re-enter passwords");
        delete mismatch;
        dialog->repeatEdit()->setText("new1");
        CloseNextMessage(nullptr);
        dialog->accept();
    });
    window->ChangePassword();
    EXPECT_EQ(FieldText(StoredOptions().password), u"new1");
}

TEST_F(MainWindowTest, SetPasswordPageChecksTheOldOneAndSavesNothingWhenWrong) {
    SetPassword(u"old");
    Open();
    auto* page = qobject_cast<CDlgAddChangePassword*>(window->page(6, 1));
    ASSERT_NE(page, nullptr);
    page->Refresh();
    EXPECT_TRUE(page->oldEdit()->isEnabled());
    page->oldEdit()->setText("OLD");
    page->newEdit()->setText("x");
    page->repeatEdit()->setText("x");
    QString message;
    CloseNextMessage(&message);
    page->Apply();
    EXPECT_EQ(message, "Incorrect password");
    EXPECT_EQ(FieldText(StoredOptions().password), u"old");

    page->oldEdit()->setText("old");
    CloseNextMessage(&message);
    page->Apply();
    EXPECT_EQ(message, "Password has been changed");
    EXPECT_EQ(FieldText(StoredOptions().password), u"x");
    EXPECT_TRUE(page->newEdit()->text().isEmpty());

    // An empty new password switches the gate off; the old field then stays disabled.
    page->oldEdit()->setText("x");
    page->newEdit()->clear();
    page->repeatEdit()->clear();
    CloseNextMessage(nullptr);
    page->Apply();
    EXPECT_EQ(FieldText(StoredOptions().password), u"");
    EXPECT_FALSE(page->oldEdit()->isEnabled());
}

TEST_F(MainWindowTest, AClockStepOfMoreThan240SecondsLocksTheInternetUntilThePassword) {
    SetPassword(u"pw");
    UseInternetTimetable(u"Guests");
    Open();
    const int64_t t = 1'800'000'000;
    window->ClockTick(t);
    window->ClockTick(t + 240);
    window->ClockTick(t);
    EXPECT_EQ(StoredOptions().clockLock, 0u);
    window->ClockTick(t - 241);  // backwards
    EXPECT_EQ(StoredOptions().clockLock, 1u);
    QPointer<CDlgSysTimeChanged> dialog = window->clockDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    window->ClockTick(t + 1000);  // forwards: still the one dialog
    EXPECT_EQ(window->clockDialog(), dialog);

    QString message;
    CloseNextMessage(&message);
    dialog->edit()->setText("PW");
    dialog->accept();
    EXPECT_EQ(message, "The password is incorrect");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(StoredOptions().clockLock, 1u);
    dialog->edit()->setText("pw");
    dialog->accept();
    EXPECT_EQ(StoredOptions().clockLock, 0u);
    Spin(50);  // the closed dialog deletes itself
    EXPECT_EQ(dialog, nullptr);
}

TEST_F(MainWindowTest, TheStopEventEndsThePanelWithoutAQuestion) {
    SetPassword(u"pw");
    Open();
    QSignalSpy ended(window.get(), &CDlgZenCP::ended);
    NamedEvent stop;
    ASSERT_TRUE(stop.Open(kPanelStopEventName, ObjectAccess::RootSignals));
    ASSERT_TRUE(stop.Set());
    EXPECT_TRUE(ended.wait(5000));
    EXPECT_FALSE(window->tray().isShown());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(MainWindowTest, EachOverviewButtonShowsThePageOfItsIndex) {
    Open();
    for (std::size_t s = 0; s < OverviewSpecs().size(); ++s) {
        window->strip()->choose(static_cast<int>(s));
        CDlgBase* overview = window->currentPage();
        ASSERT_NE(overview, nullptr);
        EXPECT_EQ(overview->objectName(), Sections()[s].overview);
        EXPECT_EQ(overview->pos(), QPoint(89, 100));
        for (const OverviewButton& entry : OverviewSpecs()[s].buttons) {
            auto* button = overview->findChild<CZenButtonCtrl*>();
            for (auto* candidate : overview->findChildren<CZenButtonCtrl*>()) {
                if (candidate->controlId() == entry.controlId) {
                    button = candidate;
                }
            }
            ASSERT_EQ(button->controlId(), entry.controlId);
            QTest::mouseClick(button, Qt::LeftButton);
            EXPECT_EQ(window->currentPage()->objectName(), Sections()[s].pages[entry.pageIndex])
                << "section " << s << " button " << entry.controlId;
            EXPECT_FALSE(overview->isVisible());
            emit window->currentPage()->backRequested();  // the page's "Back" link
            EXPECT_EQ(window->currentPage(), overview);
        }
    }
    // The Settings overview's "Email Notifications" (control 1089, the lowest) opens page 3.
    window->strip()->choose(6);
    window->ShowSectionPage(3);
    EXPECT_EQ(window->currentPage()->objectName(), "CDlgEmailNotifications");
}

// Receives the URLs the panel hands to the desktop.
class UrlSink : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

TEST_F(MainWindowTest, F1AndTheHelpLinkOpenThePagesTopic) {
    const auto manual = root / "manual";
    std::filesystem::create_directories(manual / "manual");
    zen::test::WriteAll(manual / "manual/sch_internet.html", "<html></html>");
    SetManualFolder(QString::fromStdString(manual.string()));
    Open();
    UrlSink sink;
    QDesktopServices::setUrlHandler("file", &sink, "open");
    window->strip()->choose(1);
    QTest::keyClick(window->currentPage(), Qt::Key_F1);
    window->ShowSectionPage(0);
    emit window->currentPage()->backRequested();
    auto* help = window->currentPage()->findChild<CLabelCtrl*>();
    ASSERT_NE(help, nullptr);
    QTest::mouseClick(help, Qt::LeftButton, {}, QPoint(2, 2));
    QDesktopServices::unsetUrlHandler("file");
    ASSERT_EQ(sink.opened.size(), 2);
    EXPECT_TRUE(sink.opened[0].toLocalFile().endsWith("/manual/sch_internet.html"));
    EXPECT_EQ(sink.opened[1], sink.opened[0]);

    // Without the manual's file F1 says where it looked, and hands nothing to the desktop.
    SetManualFolder(QString::fromStdString((root / "none").string()));
    QDesktopServices::setUrlHandler("file", &sink, "open");
    QString message;
    CloseNextMessage(&message);
    QTest::keyClick(window->currentPage(), Qt::Key_F1);
    QDesktopServices::unsetUrlHandler("file");
    SetManualFolder({});
    EXPECT_EQ(sink.opened.size(), 2);
    EXPECT_TRUE(
        message.contains(QString::fromStdString((root / "none/manual/sch_internet.html").string())))
        << message.toStdString();
}

}  // namespace
}  // namespace zen::panel::test

#include "main_window_test.moc"
