#include "panel_fixture.h"

#include <stdlib.h>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QScreen>

#include "common/db/options_file.h"
#include "common/db/rules_editor.h"
#include "common/db/rules_model.h"
#include "platform/root.h"
#include "platform/text.h"

namespace zen::panel::test {
namespace {

// One QApplication for every test of the binary, on the offscreen platform unless the
// caller chose one (the screenshots run on a virtual X server).
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "test_panel";
        static char* argv[] = {name, nullptr};
        application_ = std::make_unique<QApplication>(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
    }
    void TearDown() override { application_.reset(); }

private:
    std::unique_ptr<QApplication> application_;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

QObject& PendingWaits() {
    static QObject waits;
    return waits;
}

void CloseNextMessage(QString* text) {
    WhenModal<QMessageBox>([text](QMessageBox* box) {
        if (text != nullptr) {
            *text = box->text();
        }
        box->accept();
    });
}

bool DrawnWith(QWidget* control, Picture picture) {
    const QImage drawn = control->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage alone = Render(picture, drawn.size(), drawn.devicePixelRatio())
                             .convertToFormat(QImage::Format_ARGB32);
    const int x = drawn.width() / 20 + 3;
    for (int y = drawn.height() / 4; y < drawn.height() * 3 / 4; ++y) {
        if (drawn.pixel(x, y) != alone.pixel(x, y)) {
            return false;
        }
    }
    return true;
}

PanelTest::PanelTest() {
    zen::test::WriteAll(root / "run/zentimo/seat", "alice\n");
    CDBManager setup;
    EXPECT_EQ(setup.Init(true), 1);
    EXPECT_EQ(setup.SaveOptionsAndNotify(), 1);
    setup.Term();
}

PanelTest::~PanelTest() {
    const QList<QTimer*> left = PendingWaits().findChildren<QTimer*>();
    int waiting = 0;
    for (QTimer* poll : left) {
        waiting += poll->isActive() ? 1 : 0;
        delete poll;
    }
    EXPECT_EQ(waiting, 0) << "a dialog the test waited for never came";
}

void PanelTest::SetPassword(std::u16string_view password) {
    CDBManager db;
    ASSERT_EQ(db.Init(false), 1);
    ASSERT_EQ(SetAdminPassword(db, password), EditStatus::Done);
}

Options PanelTest::StoredOptions() {
    Options options = OptionsDefault();
    NamedMutex mutex;
    EXPECT_TRUE(mutex.Open("_QRT_OptionsMutex_"));
    EXPECT_EQ(SerializeOptions(options, false, false, false, mutex), 1);
    return options;
}

FastUsersRecord PanelTest::StoredGroup(std::u16string_view name) {
    CDBManager db;
    EXPECT_EQ(db.Init(false), 1);
    const std::optional<FastUsersRecord> group = FindUser(db.Users(), name);
    EXPECT_TRUE(group.has_value());
    return group.value_or(FastUsersRecord{});
}

void PanelTest::UseInternetTimetable(std::u16string_view group) {
    CDBManager db;
    ASSERT_EQ(db.Init(false), 1);
    ASSERT_EQ(SetTimetableMode(db, group, Category::Internet, 1), EditStatus::Done);
}

void PanelTest::Spin(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

void ScreenshotTest::SetUp() {
    PanelTest::SetUp();
    directory_ = qEnvironmentVariable("ZEN_SCREENSHOT_DIR");
    if (directory_.isEmpty()) {
        GTEST_SKIP() << "set ZEN_SCREENSHOT_DIR to take the screenshots";
    }
    percent_ = qRound(QGuiApplication::primaryScreen()->devicePixelRatio() * 100);
    ASSERT_TRUE(QDir().mkpath(directory_));
}

bool ScreenshotTest::Save(const QPixmap& picture, const QString& name) const {
    return picture.save(QString("%1/%2_%3.png").arg(directory_, name).arg(percent_));
}

}  // namespace zen::panel::test
