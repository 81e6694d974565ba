#include "panel/pages/schedule_pages.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <cstring>

#include "common/db/access.h"
#include "common/db/db_manager.h"
#include "common/db/error_log.h"
#include "panel/controls/zen_button_ctrl.h"
#include "panel/controls/zen_check_box.h"
#include "panel/dialog_widgets.h"
#include "panel/message_box.h"
#include "panel/page_catalog.h"
#include "panel/pages/group_chooser.h"
#include "panel/pages/stored_users.h"
#include "panel/pages/timetable_ctl.h"
#include "panel/strings.h"

namespace zen::panel {
namespace {

constexpr int kUserLabelId = 151;
constexpr int kEndActionLabelId = 1156;
constexpr int kFirstDayId = 131;  // "Sunday" .. "Saturday"
constexpr int kDays = Timetable::kDays;

QComboBox* NewCombo(QWidget* parent, int controlId, std::initializer_list<QString> items,
                    QRect geometry) {
    auto* combo = new QComboBox(parent);
    SetControlId(combo, controlId);
    for (const QString& item : items) {
        combo->addItem(item);
    }
    combo->setGeometry(geometry);
    return combo;
}

bool SameRecord(const FastUsersRecord& a, const FastUsersRecord& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

const std::vector<CategoryPages>& ScheduleCategories() {
    static const std::vector<CategoryPages> categories = {
        {Category::Power, "CDlgComputerTimetable", 236, "::/manual/sch_computer.html#1",
         "CDlgComputerDailyLimits", 241, "::/manual/sch_computer.html#2"},
        {Category::Internet, "CDlgInternetTimetable", 237, "::/manual/sch_internet.html#1",
         "CDlgInternetDailyLimits", 243, "::/manual/sch_internet.html#2"},
        {Category::Program, "CDlgProgramsTimetable", 238, "::/manual/sch_programs.html#1",
         "CDlgProgramsDailyTimeLimits", 242, "::/manual/sch_programs.html#2"},
        {Category::CDROM, "CDlgCDTimetable", 240, "::/manual/sch_cddvd.html#1", "CDlgCDDailyLimits",
         244, "::/manual/sch_cddvd.html#2"},
        {Category::Removable, "CDlgRemovableTimetable", 239, "::/manual/sch_removable.html#1",
         "CDlgRemovableDailyLimits", 245, "::/manual/sch_removable.html#2"},
    };
    return categories;
}

SchedulePage::SchedulePage(CDBManager& db, std::shared_ptr<ChosenGroup> chosen, Category category,
                           int templateId, QString helpTopic, int titleId, QWidget* parent)
    : PageFrame(templateId, std::move(helpTopic), titleId, Links::HelpAndBack, parent),
      db_(db),
      category_(category),
      chooser_(new GroupChooser(db, std::move(chosen), this)) {
    NewTextLabel(this, 1150, Text(kUserLabelId), QRect(40, 72, 60, 22));
    chooser_->setGeometry(100, 70, 220, 24);
    connect(chooser_, &GroupChooser::groupChosen, this, [this] { LoadStored(true); });
    if (category == Category::Power) {
        NewTextLabel(this, kEndActionLabelId, tr("When time is up:"), QRect(430, 108, 110, 22));
        endAction_ = NewCombo(this, kEndActionId, {"Shutdown", "Logoff"}, QRect(540, 106, 120, 24));
        connect(endAction_, &QComboBox::activated, this,
                [this] { Commit([](std::u16string_view) { return EditStatus::Done; }); });
    }
    auto* pulse = new ReloadPulse(this);
    connect(pulse, &ReloadPulse::pulsed, this, [this] {
        if (isVisible()) {
            LoadStored(false);
        }
    });
}

void SchedulePage::Refresh() {
    chooser_->Fill();
    LoadStored(true);
}

void SchedulePage::LoadStored(bool always) {
    const std::optional<FastUsersRecord> record = StoredRecord(db_, ToU16(chooser_->group()));
    if (!record || (!always && loaded_ && SameRecord(*loaded_, *record))) {
        return;
    }
    loaded_ = record;
    loading_ = true;
    if (endAction_ != nullptr) {
        // Anything but log off is shown, and saved, as shut down.
        endAction_->setCurrentIndex(record->ShutDown == 1 ? 1 : 0);
    }
    Load(*record);
    loading_ = false;
}

void SchedulePage::Commit(const std::function<EditStatus(std::u16string_view group)>& edit) {
    if (loading_) {
        return;
    }
    const std::u16string group = ToU16(chooser_->group());
    EditStatus status = edit(group);
    if (status == EditStatus::Done && endAction_ != nullptr && loaded_ &&
        loaded_->ShutDown != static_cast<uint32_t>(endAction_->currentIndex())) {
        status = SetShutDown(db_, group, static_cast<uint32_t>(endAction_->currentIndex()));
    }
    if (status != EditStatus::Done && status != EditStatus::NotFound &&
        status != EditStatus::NotAGroup) {
        ShowEditFailure(this, status);
    }
    LoadStored(false);
}

CDlgTimeTable::CDlgTimeTable(CDBManager& db, std::shared_ptr<ChosenGroup> chosen,
                             const CategoryPages& pages, QWidget* parent)
    : SchedulePage(db, std::move(chosen), pages.category, kTemplate, pages.timetableHelp,
                   pages.timetableTitleId, parent),
      grid_(new CTimetableCtl(1000, this)),
      enable_(new CZenCheckBox(1094, Text(141), this)),
      selection_(NewCombo(this, 1043, {Text(138), Text(149), Text(150)}, QRect(140, 106, 90, 24))),
      format_(NewCombo(this, 1041, {Text(145), Text(146)}, QRect(330, 106, 90, 24))) {
    enable_->setGeometry(340, 72, 170, 22);
    NewTextLabel(this, 1151, Text(143), QRect(40, 108, 100, 22));
    NewTextLabel(this, 1152, Text(142), QRect(270, 108, 60, 22));
    grid_->setGeometry(16, 150, 648, 250);
    auto* permit = new CZenButtonCtrl(1098, Text(152), kPageButtons, this);
    permit->setGeometry(380, 414, 130, 30);
    auto* forbid = new CZenButtonCtrl(1099, Text(153), kPageButtons, this);
    forbid->setGeometry(520, 414, 130, 30);

    connect(enable_, &CZenCheckBox::command, this, &CDlgTimeTable::EnableChanged);
    connect(grid_, &CTimetableCtl::strokeFinished, this, [this] {
        Commit([this](std::u16string_view group) {
            const EditStatus status =
                SetTimetableChanges(this->db(), group, category(), grid_->shown(), grid_->grid());
            if (status == EditStatus::Done) {
                grid_->markSaved();
            }
            return status;
        });
    });
    connect(permit, &CZenButtonCtrl::command, this, [this] { SetAll(true); });
    connect(forbid, &CZenButtonCtrl::command, this, [this] { SetAll(false); });
    connect(selection_, &QComboBox::activated, this, [this](int type) {
        grid_->setSelectionType(type);
        SaveViewOption(&Options::SelectionType, type);
    });
    connect(format_, &QComboBox::activated, this, [this](int format) {
        grid_->setTimeFormat(format);
        SaveViewOption(&Options::TimeFormat, format);
    });
    FinishInit();
}

void CDlgTimeTable::Refresh() {
    const Options options = db().OptionsCopy();
    const int type = options.SelectionType <= 2 ? static_cast<int>(options.SelectionType) : 2;
    const int format = options.TimeFormat == 0 ? 0 : 1;
    selection_->setCurrentIndex(type);
    format_->setCurrentIndex(format);
    grid_->setSelectionType(type);
    grid_->setTimeFormat(format);
    SchedulePage::Refresh();
}

void CDlgTimeTable::Load(const FastUsersRecord& record) {
    enable_->setChecked(record.*RulesOf(category()).mode == 1);
    grid_->setEnabled(enable_->isChecked());
    grid_->setGrid(record.timetables[RulesOf(category()).slot]);
}

void CDlgTimeTable::EnableChanged() {
    grid_->setEnabled(enable_->isChecked());
    Commit([this](std::u16string_view group) {
        return SetTimetableMode(db(), group, category(), enable_->isChecked() ? 1 : 0);
    });
}

void CDlgTimeTable::SetAll(bool permitted) {
    if (enable_->isChecked()) {
        grid_->setAll(permitted);
    }
}

void CDlgTimeTable::SaveViewOption(uint32_t Options::*field, int value) {
    const EditStatus status = EditOptions(db(), [&](Options& options) {
        options.*field = static_cast<uint32_t>(value);
        return EditStatus::Done;
    });
    if (status != EditStatus::Done) {
        ShowEditFailure(this, status);
    }
}

CDlgDailyTimeLimits::CDlgDailyTimeLimits(CDBManager& db, std::shared_ptr<ChosenGroup> chosen,
                                         const CategoryPages& pages, QWidget* parent)
    : SchedulePage(db, std::move(chosen), pages.category, kTemplate, pages.limitsHelp,
                   pages.limitsTitleId, parent),
      enable_(new CZenCheckBox(1100, Text(139), this)),
      status_(NewTextLabel(this, 1155, {}, QRect(60, 412, 420, 22))) {
    enable_->setGeometry(340, 72, 175, 22);
    const auto* digits = new QRegularExpressionValidator(QRegularExpression("[0-9]*"), this);
    for (int day = 0; day < kDays; ++day) {
        const int top = 118 + day * 40;
        NewTextLabel(this, 1160 + day, Text(kFirstDayId + day), QRect(60, top + 3, 110, 22));
        auto* combo = new QComboBox(this);
        SetControlId(combo, 1020 + day);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->lineEdit()->setValidator(digits);
        for (const int minutes : kPresets) {
            combo->addItem(QString::number(minutes));
        }
        combo->setGeometry(180, top, 100, 24);
        // The combo itself has the focus while its field is edited, so its focus-out is the
        // one every route away (Tab, Shift+Tab, a click elsewhere) brings.
        combo->installEventFilter(this);
        NewTextLabel(this, 1170 + day, Text(140), QRect(290, top + 3, 50, 22));
        connect(combo, &QComboBox::activated, this, [this, day] { SaveDay(day); });
        connect(combo->lineEdit(), &QLineEdit::returnPressed, this,
                [this, day] { TakeTyped(day); });
        days_[static_cast<std::size_t>(day)] = combo;
    }
    connect(enable_, &CZenCheckBox::command, this, [this] {
        for (QComboBox* combo : days_) {
            combo->setEnabled(enable_->isChecked());
        }
        Commit([this](std::u16string_view group) {
            return SetLimitEnabled(this->db(), group, category(), enable_->isChecked());
        });
    });
    FinishInit();
}

namespace {

// Shows `minutes` in a day's combo: only the presets and the value shown are listed.
void ShowMinutes(QComboBox* combo, uint32_t minutes) {
    const QSignalBlocker quiet(combo);
    for (int i = combo->count() - 1; i >= 0; --i) {
        const int value = combo->itemText(i).toInt();
        if (std::find(CDlgDailyTimeLimits::kPresets.begin(), CDlgDailyTimeLimits::kPresets.end(),
                      value) == CDlgDailyTimeLimits::kPresets.end()) {
            combo->removeItem(i);
        }
    }
    const QString text = QString::number(minutes);
    int index = combo->findText(text, Qt::MatchExactly);
    if (index < 0) {
        combo->addItem(text);
        index = combo->count() - 1;
    }
    combo->setCurrentIndex(index);
}

}  // namespace

void CDlgDailyTimeLimits::Refresh() {
    SchedulePage::Refresh();
    ShowTimeOnline();
}

void CDlgDailyTimeLimits::ShowTimeOnline() {
    status_->clear();
    const std::u16string user = db().CurrentUserName();
    const std::optional<FastUsersRecord> record = StoredRecord(db(), user);
    if (!record) {
        return;
    }
    if (record->ParentID == 0) {
        LogError("CDlgDailyTimeLimits::GetTimeOnline() : error : CurUser is Group");
        return;
    }
    const uint32_t used = MinutesUsedToday(db().Users(), db().StateMutex(), user, category());
    const QByteArray format = (used < 60 ? Text(296) : Text(297)).toUtf8();
    status_->setText(used < 60 ? QString::asprintf(format.constData(), static_cast<int>(used))
                               : QString::asprintf(format.constData(), static_cast<int>(used / 60),
                                                   static_cast<int>(used % 60)));
}

void CDlgDailyTimeLimits::Load(const FastUsersRecord& record) {
    const TimeLimitsTable& block = record.limits[RulesOf(category()).slot];
    enable_->setChecked(block.enable != 0);
    for (int day = 0; day < kDays; ++day) {
        QComboBox* combo = dayCombo(day);
        ShowMinutes(combo, block.minutes[day]);
        combo->setEnabled(enable_->isChecked());
    }
}

bool CDlgDailyTimeLimits::eventFilter(QObject* watched, QEvent* event) {
    // Opening the combo's own list is no leaving.
    if (event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        for (int day = 0; day < kDays; ++day) {
            if (dayCombo(day) == watched) {
                TakeTyped(day);
            }
        }
    }
    return SchedulePage::eventFilter(watched, event);
}

void CDlgDailyTimeLimits::hideEvent(QHideEvent* event) {
    // A page closed (another page, the window hidden) keeps what was typed last.
    for (int day = 0; day < kDays; ++day) {
        TakeTyped(day);
    }
    SchedulePage::hideEvent(event);
}

void CDlgDailyTimeLimits::TakeTyped(int day) {
    QComboBox* combo = dayCombo(day);
    const QString typed = combo->lineEdit()->text();
    static const QRegularExpression kDigits("^[0-9]+$");
    bool ok = kDigits.match(typed).hasMatch();
    const uint64_t minutes = ok ? typed.toULongLong(&ok) : 0;
    if (!ok || minutes > kMaxDailyMinutes) {
        combo->lineEdit()->setText(combo->itemText(combo->currentIndex()));
        return;
    }
    if (combo->itemText(combo->currentIndex()) == QString::number(minutes) &&
        typed == QString::number(minutes)) {
        return;
    }
    ShowMinutes(combo, static_cast<uint32_t>(minutes));
    SaveDay(day);
}

void CDlgDailyTimeLimits::SaveDay(int day) {
    const uint32_t minutes = dayCombo(day)->currentText().toUInt();
    Commit([&](std::u16string_view group) {
        return SetLimitMinutes(db(), group, category(), static_cast<uint8_t>(1u << day), minutes);
    });
}

void RegisterSchedulePages(PageCatalog& catalog) {
    // One choice of group for all the schedule pages of a panel.
    auto chosen = std::make_shared<ChosenGroup>();
    for (const CategoryPages& pages : ScheduleCategories()) {
        catalog.Register(pages.timetableClass,
                         [&pages, chosen](CDBManager& db, QWidget* parent) -> CDlgBase* {
                             return new CDlgTimeTable(db, chosen, pages, parent);
                         });
        catalog.Register(pages.limitsClass,
                         [&pages, chosen](CDBManager& db, QWidget* parent) -> CDlgBase* {
                             return new CDlgDailyTimeLimits(db, chosen, pages, parent);
                         });
    }
}

}  // namespace zen::panel
