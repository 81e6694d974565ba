#pragma once

#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "common/db/category.h"
#include "common/db/rules_editor.h"
#include "panel/pages/page_frame.h"

class QComboBox;
class QLabel;

namespace zen {
class CDBManager;
}

namespace zen::panel {

class CTimetableCtl;
class PageCatalog;
class CZenCheckBox;
class GroupChooser;
struct ChosenGroup;

// What a category's two schedule pages are called and where their help is.
struct CategoryPages {
    Category category;
    QString timetableClass;
    int timetableTitleId;
    QString timetableHelp;
    QString limitsClass;
    int limitsTitleId;
    QString limitsHelp;
};
const std::vector<CategoryPages>& ScheduleCategories();

// What every schedule page shares: the group chooser, the computer's end action ("When time is
// up:"), loading the chosen group's record (again after every reload pulse that changed it) and
// the save-at-once rule: every change is written through the rule editors zenctl uses.
class SchedulePage : public PageFrame {
    Q_OBJECT
public:
    static constexpr int kEndActionId = 1042;

    SchedulePage(CDBManager& db, std::shared_ptr<ChosenGroup> chosen, Category category,
                 int templateId, QString helpTopic, int titleId, QWidget* parent);
    void Refresh() override;

    GroupChooser* groupChooser() const { return chooser_; }
    // "Shutdown" (0) / "Logoff" (1); the computer pages only, else nullptr.
    QComboBox* endAction() const { return endAction_; }

protected:
    // Shows the group's values for this page's category.
    virtual void Load(const FastUsersRecord& record) = 0;
    // Runs one save of the chosen group; a group gone meanwhile is left alone, any other
    // refusal is shown. The computer page's end action is saved with it, so a stored action
    // that is neither is saved as shown.
    void Commit(const std::function<EditStatus(std::u16string_view group)>& edit);
    CDBManager& db() const { return db_; }
    Category category() const { return category_; }
    bool loading() const { return loading_; }

private:
    void LoadStored(bool always);

    CDBManager& db_;
    Category category_;
    GroupChooser* chooser_;
    QComboBox* endAction_ = nullptr;
    std::optional<FastUsersRecord> loaded_;
    bool loading_ = false;
};

// The weekly timetable of a category.
class CDlgTimeTable : public SchedulePage {
    Q_OBJECT
public:
    static constexpr int kTemplate = 1043;
    CDlgTimeTable(CDBManager& db, std::shared_ptr<ChosenGroup> chosen, const CategoryPages& pages,
                  QWidget* parent);
    void Refresh() override;

    CTimetableCtl* grid() const { return grid_; }
    CZenCheckBox* enableBox() const { return enable_; }
    QComboBox* selectionCombo() const { return selection_; }
    QComboBox* formatCombo() const { return format_; }
    // "Permit All" / "Forbid All": only while "Enable Timetable" is checked.
    void SetAll(bool permitted);

protected:
    void Load(const FastUsersRecord& record) override;

private:
    void EnableChanged();
    void SaveViewOption(uint32_t Options::*field, int value);

    CTimetableCtl* grid_;
    CZenCheckBox* enable_;
    QComboBox* selection_;
    QComboBox* format_;
};

// The minutes of use a category gets on each weekday.
class CDlgDailyTimeLimits : public SchedulePage {
    Q_OBJECT
public:
    static constexpr int kTemplate = 138;
    static constexpr std::array<int, 10> kPresets{10, 20, 30, 60, 90, 120, 180, 240, 360, 480};
    CDlgDailyTimeLimits(CDBManager& db, std::shared_ptr<ChosenGroup> chosen,
                        const CategoryPages& pages, QWidget* parent);

    void Refresh() override;

    CZenCheckBox* enableBox() const { return enable_; }
    QComboBox* dayCombo(int day) const { return days_[static_cast<std::size_t>(day)]; }
    // "Today: Online ..." for the account running the panel.
    QLabel* statusLine() const { return status_; }

protected:
    void Load(const FastUsersRecord& record) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Takes what was typed into a day's combo: plain minutes up to a day's are shown and
    // saved; anything else puts the last value back.
    void TakeTyped(int day);
    void SaveDay(int day);
    void ShowTimeOnline();

    CZenCheckBox* enable_;
    QLabel* status_;
    std::array<QComboBox*, 7> days_{};
};

void RegisterSchedulePages(PageCatalog& catalog);

}  // namespace zen::panel
