#include "panel/main_window.h"

#include <QShortcut>
#include <QTimer>
#include <ctime>

#include "common/db/db_manager.h"
#include "common/db/rules_editor.h"
#include "panel/about_dialog.h"
#include "panel/change_password_dialog.h"
#include "panel/controls/label_ctrl.h"
#include "panel/controls/zen_tab_ctrl.h"
#include "panel/help.h"
#include "panel/message_box.h"
#include "panel/page_catalog.h"
#include "panel/pages/overview_page.h"
#include "panel/pages/page_geometry.h"
#include "panel/pages/pending_page.h"
#include "panel/password_dialog.h"
#include "panel/stop_watcher.h"
#include "panel/strings.h"
#include "panel/sys_time_changed_dialog.h"
#include "panel/tray.h"

namespace zen::panel {
namespace {

constexpr QSize kWindowSize{780, 600};
constexpr int kAboutLinkId = 1010;
constexpr int kCloseLinkId = 1011;

// The caption of the overview button that opens a page, for a page this build lacks.
int PageCaption(int section, int index) {
    for (const OverviewButton& button :
         OverviewSpecs()[static_cast<std::size_t>(section)].buttons) {
        if (button.pageIndex == index) {
            return button.captionId;
        }
    }
    return Sections()[static_cast<std::size_t>(section)].captionId;
}

}  // namespace

CDlgZenCP::CDlgZenCP(CDBManager& db, const PageCatalog& catalog, QWidget* parent)
    : CDlgBase(kTemplate, kStartTopic, Kind::Window, parent), db_(db) {
    setObjectName("CDlgZenCP");
    setWindowTitle(ProductName());
    setWindowIcon(ProgramIcon());
    SetBackground(Picture::MainBackground, kWindowSize);
    AddCloseButton();

    QString about = Text(101);
    about.remove('&');
    auto* aboutLink = new CLabelCtrl(kAboutLinkId, about, this, Qt::AlignRight);
    aboutLink->setGeometry(kWindowSize.width() - 330, 36, 150, 18);
    connect(aboutLink, &CLabelCtrl::command, this, &CDlgZenCP::ShowAbout);
    auto* closeLink = new CLabelCtrl(kCloseLinkId, tr("Close Control Panel"), this, Qt::AlignRight);
    closeLink->setGeometry(kWindowSize.width() - 170, 36, 150, 18);
    connect(closeLink, &CLabelCtrl::command, this, &CDlgZenCP::ClosePanel);

    // The pages live as long as the window; every section starts on its overview.
    for (std::size_t s = 0; s < Sections().size(); ++s) {
        const Section& section = Sections()[s];
        pages_.emplace_back();
        AddPage(catalog.Create(section.overview, db_, this));
        for (int i = 0; i < section.pages.size(); ++i) {
            CDlgBase* page = catalog.Create(section.pages[i], db_, this);
            if (page == nullptr) {
                page = new PendingPage(PageCaption(static_cast<int>(s), i), this);
                page->setObjectName(section.pages[i]);
            }
            AddPage(page);
        }
    }

    strip_ = new CZenTabCtrl(kStripId, this);
    strip_->setGeometry(
        kPageOrigin.x(), kPageOrigin.y() - 34,
        static_cast<int>(Sections().size()) * (CZenTabCtrl::kTabWidth + CZenTabCtrl::kGap) +
            CZenTabCtrl::kGap,
        34);
    connect(strip_, &CZenTabCtrl::tabChosen, this, &CDlgZenCP::ChooseSection);
    QStringList captions;
    for (const Section& section : Sections()) {
        captions << Text(section.captionId);
    }
    strip_->setTabs(captions);
    // Ctrl+Tab and Ctrl+Shift+Tab step through the sections from wherever the focus is.
    auto* nextSection = new QShortcut(this);
    nextSection->setKeys({QKeySequence(Qt::CTRL | Qt::Key_Tab)});
    connect(nextSection, &QShortcut::activated, this, [this] { strip_->step(1); });
    auto* previousSection = new QShortcut(this);
    previousSection->setKeys({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
                              QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab)});
    connect(previousSection, &QShortcut::activated, this, [this] { strip_->step(-1); });
    SetTabOrder({strip_, aboutLink, closeLink});
    FinishInit();

    stopWatcher_ = new StopWatcher(this);
    connect(stopWatcher_, &StopWatcher::stopRequested, this, &CDlgZenCP::Shutdown);

    clockTimer_ = new QTimer(this);
    clockTimer_->setInterval(kClockTimerMs);
    connect(clockTimer_, &QTimer::timeout, this, [this] { ClockTick(std::time(nullptr)); });
    clockTimer_->start();

    tray_ = new PanelTray(this);
    connect(tray_, &PanelTray::openRequested, this, &CDlgZenCP::OpenPanel);
    connect(tray_, &PanelTray::changePasswordRequested, this, &CDlgZenCP::ChangePassword);
    connect(tray_, &PanelTray::enableRequested, this, &CDlgZenCP::EnableFiltering);
    connect(tray_, &PanelTray::disableRequested, this, &CDlgZenCP::DisableFiltering);
    tray_->Add(db_.CurrentRulesCopy().Disable == 0);
}

CDlgZenCP::~CDlgZenCP() = default;

void CDlgZenCP::AddPage(CDlgBase* page) {
    page->hide();
    page->move(kPageOrigin);
    connect(page, &CDlgBase::showPageRequested, this, &CDlgZenCP::ShowSectionPage);
    connect(page, &CDlgBase::backRequested, this, &CDlgZenCP::ShowPendingPage);
    connect(page, &CDlgBase::usersChanged, this, &CDlgZenCP::RefreshUsers);
    pages_.back().push_back(page);
}

CDlgBase* CDlgZenCP::page(int section, int index) const {
    if (section < 0 || section >= static_cast<int>(pages_.size())) {
        return nullptr;
    }
    const auto& list = pages_[static_cast<std::size_t>(section)];
    const int at = index + 1;
    return at >= 0 && at < static_cast<int>(list.size()) ? list[static_cast<std::size_t>(at)]
                                                         : nullptr;
}

void CDlgZenCP::ShowPage(CDlgBase* page) {
    if (page == nullptr) {
        return;
    }
    page->Refresh();
    page->move(kPageOrigin);
    page->show();
    if (current_ != nullptr && current_ != page) {
        current_->hide();
    }
    current_ = page;
}

void CDlgZenCP::ChooseSection(int section) {
    section_ = section;
    pending_ = page(section, -1);
    ShowPage(pending_);
}

void CDlgZenCP::ShowSectionPage(int index) {
    ShowPage(page(section_, index));
}

void CDlgZenCP::ShowPendingPage() {
    ShowPage(pending_);
}

void CDlgZenCP::OpenPanel() {
    if (isVisible() || opening_) {
        return;
    }
    opening_ = true;
    const bool passed = PasswordGate(db_, nullptr).has_value();
    opening_ = false;
    if (!passed) {
        return;
    }
    if (current_ != nullptr) {
        current_->Refresh();
    }
    show();
    raise();
    activateWindow();
}

void CDlgZenCP::ClosePanel() {
    QMessageBox ask(QMessageBox::Question, ProductName(),
                    tr("Close the Control Panel?\nUntil the next login no warnings will be shown "
                       "and a change of the system clock will not lock the Internet."),
                    QMessageBox::Yes | QMessageBox::No, this);
    if (ask.exec() == QMessageBox::Yes && PasswordGate(db_, this).has_value()) {
        End();
    }
}

void CDlgZenCP::Shutdown() {
    End();
}

void CDlgZenCP::End() {
    clockTimer_->stop();
    tray_->Remove();
    if (clockDialog_ != nullptr) {
        clockDialog_->close();
    }
    hide();
    emit ended();
}

void CDlgZenCP::EnableFiltering() {
    tray_->ShowBalloon(QString(), BalloonKind::Information);
    const EditStatus status = SetDisable(db_, db_.CurrentGroupName(), false);
    if (status != EditStatus::Done) {
        ShowEditFailure(this, status);
    }
    RefreshTrayPicture();
}

void CDlgZenCP::DisableFiltering() {
    if (!PasswordGate(db_, nullptr).has_value()) {
        return;
    }
    const EditStatus status = SetDisable(db_, db_.CurrentGroupName(), true);
    if (status != EditStatus::Done) {
        ShowEditFailure(this, status);
    }
    RefreshTrayPicture();
}

void CDlgZenCP::ChangePassword() {
    const std::optional<QString> entered = PasswordGate(db_, nullptr);
    if (!entered) {
        return;
    }
    CDlgChangePassword dialog(db_, *entered, nullptr);
    dialog.exec();
}

void CDlgZenCP::ShowAbout() {
    CDlgAbout about(this);
    about.exec();
}

void CDlgZenCP::RefreshUsers() {
    db_.Users().Load();
    db_.SetCurrentUser();
    RefreshTrayPicture();
}

void CDlgZenCP::RefreshTrayPicture() {
    tray_->SetFilteringEnabled(db_.CurrentRulesCopy().Disable == 0);
}

void CDlgZenCP::ClockTick(int64_t now) {
    if (clockCheckRunning_) {
        return;
    }
    if (clock_.Tick(now)) {
        clockCheckRunning_ = true;
        CheckClockChange();
        clockCheckRunning_ = false;
    }
}

void CDlgZenCP::CheckClockChange() {
    if (!ClockChangeLocks(db_.CurrentRulesCopy(), db_.OptionsCopy())) {
        return;
    }
    EditOptions(db_, [](Options& options) {
        options.clockLock = 1;
        return EditStatus::Done;
    });
    if (clockDialog_ == nullptr) {
        clockDialog_ = new CDlgSysTimeChanged(db_, this);
        clockDialog_->show();
    }
}

}  // namespace zen::panel
