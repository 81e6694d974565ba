// The drives manager on real file systems: loop devices mounted below the temporary root, in a
// private mount namespace, marked removable or optical by fixture sysfs files under the root.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/loop.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "common/db/db_manager.h"
#include "common/db/log_records.h"
#include "common/db/rules_editor.h"
#include "db/access_test_support.h"
#include "mail/mail_test_support.h"
#include "platform/device_acl.h"
#include "platform/drives.h"
#include "platform/mount_holders.h"
#include "platform/text.h"
#include "platform/unique_fd.h"
#include "service/control_socket.h"
#include "service/managers/device_manager.h"
#include "service/setup_removal.h"
#include "service/zensvc_process.h"
#include "support/child_process.h"
#include "support/eventually.h"
#include "support/temp_root.h"

namespace zen::test {
namespace {
namespace fs = std::filesystem;

// Tuesday; the CD/DVD timetable of the tests forbids 10:00-11:00 on Tuesdays.
constexpr int64_t kForbidden = kTuesday1016;
constexpr int64_t kAllowed = kTuesday1016 + 44 * 60;  // 11:00
constexpr uint8_t kTuesday = 1 << 2;

void WriteFixture(const fs::path& path, std::string_view text) {
    fs::create_directories(path.parent_path());
    WriteAll(path, text);
}

// A small ext4 file system in an image file, attached to a free loop device. Detached when it
// goes; whoever mounted it unmounts first.
class LoopDevice {
public:
    explicit LoopDevice(const fs::path& image) {
        {
            std::ofstream(image).close();
            fs::resize_file(image, 8 << 20);
        }
        const std::string mkfs = "mkfs.ext4 -q -F '" + image.string() + "' >/dev/null 2>&1";
        if (std::system(mkfs.c_str()) != 0) {
            return;
        }
        const UniqueFd backing(::open(image.c_str(), O_RDWR | O_CLOEXEC));
        const UniqueFd control(::open("/dev/loop-control", O_RDWR | O_CLOEXEC));
        // Another process may take the free device first: ask again.
        for (int attempt = 0; backing && control && attempt < 20; ++attempt) {
            const int number = ::ioctl(control.get(), LOOP_CTL_GET_FREE);
            if (number < 0) {
                return;
            }
            const std::string path = "/dev/loop" + std::to_string(number);
            UniqueFd loop(::open(path.c_str(), O_RDWR | O_CLOEXEC));
            if (loop && ::ioctl(loop.get(), LOOP_SET_FD, backing.get()) == 0) {
                device_ = path;
                loop_ = std::move(loop);
                return;
            }
        }
    }
    ~LoopDevice() {
        if (loop_) {
            ::ioctl(loop_.get(), LOOP_CLR_FD, 0);
        }
    }
    LoopDevice(const LoopDevice&) = delete;
    LoopDevice& operator=(const LoopDevice&) = delete;

    bool attached() const { return static_cast<bool>(loop_); }
    const std::string& device() const { return device_; }
    // The device's numbers as sysfs names them, e.g. "7:3".
    std::string Numbers() const {
        struct stat status {};
        ::stat(device_.c_str(), &status);
        return std::to_string(major(status.st_rdev)) + ":" + std::to_string(minor(status.st_rdev));
    }

private:
    std::string device_;
    UniqueFd loop_;
};

// Every mount point below `root` in this thread's namespace, deepest first.
std::vector<std::string> MountsBelow(const fs::path& root) {
    std::ifstream mountinfo("/proc/thread-self/mountinfo");
    std::vector<std::string> points;
    for (std::string line; std::getline(mountinfo, line);) {
        std::istringstream fields(line);
        std::string skip, point;
        fields >> skip >> skip >> skip >> skip >> point;
        point = UnescapeMountField(point);
        if (point.starts_with(root.string() + "/")) {
            points.push_back(point);
        }
    }
    std::ranges::sort(points, std::greater<>());
    return points;
}

// The per-mount options of the mount at `point`.
std::string MountOptions(const std::string& point) {
    std::ifstream mountinfo("/proc/thread-self/mountinfo");
    for (std::string line; std::getline(mountinfo, line);) {
        std::istringstream fields(line);
        std::string skip, mounted, options;
        fields >> skip >> skip >> skip >> skip >> mounted >> options;
        if (UnescapeMountField(mounted) == point) {
            return options;
        }
    }
    return "";
}

bool IsMounted(const fs::path& point) {
    return std::ranges::count(MountsBelow(point.parent_path()), point.string()) == 1;
}

// The manager, driven directly, with the rules database of a temporary root: the console user
// "kid" in the group "Kids", whose CD/DVD timetable forbids 10:00-11:00 on Tuesdays.
class DeviceManagerTest : public RootedTest {
protected:
    void SetUp() override {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "mounting loop devices needs root";
        }
        // Everything mounted from here on stays in this thread's own namespace.
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            GTEST_SKIP() << "no private mount namespace: " << std::strerror(errno);
        }
        if (!LoopDevice(root / "probe").attached()) {
            GTEST_SKIP() << "no loop device or no mkfs.ext4";
        }
        OpenDatabase();
        ASSERT_EQ(AddGroup(*db, u"Kids"), EditStatus::Done);
        ASSERT_EQ(AddUser(*db, u"kid", u"Kids"), EditStatus::Done);
        ASSERT_EQ(SetTimetableMode(*db, u"Kids", Category::CDROM, 1), EditStatus::Done);
        ASSERT_EQ(SetTimetableRange(*db, u"Kids", Category::CDROM, kTuesday, 40, 44, false),
                  EditStatus::Done);
        UseConsoleUser();
        manager = std::make_unique<CDeviceManager>(*db, *actions);
        ASSERT_EQ(manager->Start(), 1);
    }
    // Removable drives get the same timetable as CD/DVD drives.
    void ForbidRemovableDrivesToo() {
        ASSERT_EQ(SetTimetableMode(*db, u"Kids", Category::Removable, 1), EditStatus::Done);
        ASSERT_EQ(SetTimetableRange(*db, u"Kids", Category::Removable, kTuesday, 40, 44, false),
                  EditStatus::Done);
        UseConsoleUser();
    }
    void TearDown() override {
        manager.reset();
        if (db) {
            db->Term();
        }
        for (const std::string& point : MountsBelow(root.path())) {
            ::umount2(point.c_str(), MNT_DETACH);
        }
        drives.clear();
    }

    void OpenDatabase() {
        db = std::make_unique<CDBManager>();
        ASSERT_EQ(db->Init(true), 1);
    }
    void UseConsoleUser() {
        db->SetCurrentUserName(u"kid");
        ASSERT_EQ(db->SetCurrentUser(), 1);
    }
    // The service stops and starts again: a new database and a new manager.
    void Restart() {
        if (manager) {
            manager->Stop();
            manager.reset();
        }
        db->Term();
        OpenDatabase();
        UseConsoleUser();
        manager = std::make_unique<CDeviceManager>(*db, *actions);
        ASSERT_EQ(manager->Start(), 1);
    }

    // A new drive of `type` mounted at `point` (below the root) with one file on it.
    void MountDrive(uint32_t type, const std::string& point, const std::string& content) {
        const fs::path images = root / "images";
        fs::create_directories(images);
        auto drive = std::make_unique<LoopDevice>(images / std::to_string(drives.size()));
        ASSERT_TRUE(drive->attached());
        const fs::path sysfs = root / "sys/dev/block" / drive->Numbers();
        fs::remove_all(sysfs);
        if (type == kDriveCdrom) {
            WriteFixture(sysfs / "device/type", "5\n");
        } else {
            WriteFixture(sysfs / "removable", type == kDriveRemovable ? "1\n" : "0\n");
        }
        fs::create_directories(point);
        ASSERT_EQ(::mount(drive->device().c_str(), point.c_str(), "ext4", 0, nullptr), 0)
            << std::strerror(errno);
        WriteAll(fs::path(point) / "file.txt", content);
        drives.push_back(std::move(drive));
    }

    void TickAt(int64_t moment) {
        clock.Set(moment);
        manager->Tick();
    }

    std::u16string StateText() { return std::u16string(FieldText(db->OptionsCopy().deviceState)); }

    // How many messages for the panels, and how many warning records of kind 0, carry `text`.
    int MessagesSaying(const std::string& text) {
        const std::u16string wanted = Utf8ToUtf16(text);
        return db->Messages().WithRecords([&](MessagesTable::Set& messages) {
            return static_cast<int>(std::ranges::count_if(
                messages, [&](const CustomMessage& m) { return FieldText(m.text) == wanted; }));
        });
    }
    int WarningsSaying(const std::string& text) {
        const std::u16string wanted = Utf8ToUtf16(text);
        int count = 0;
        VisitLog<WarningRecord>(db->Warnings(), [&](const WarningRecord& record) {
            count += record.kind == 0 && FieldText(record.text) == wanted &&
                     FieldText(record.program).empty() && FieldText(record.secondText).empty();
        });
        return count;
    }
    // One message and one warning for each time the drive at `point` was hidden or restored.
    void ExpectEvents(const std::string& point, int disabled, int enabled) {
        EXPECT_EQ(MessagesSaying("The disk " + point + " has been disabled."), disabled) << point;
        EXPECT_EQ(WarningsSaying("The disk " + point + " has been disabled."), disabled) << point;
        EXPECT_EQ(MessagesSaying("The disk " + point + " has been enabled."), enabled) << point;
        EXPECT_EQ(WarningsSaying("The disk " + point + " has been enabled."), enabled) << point;
    }

    std::string Point(const std::string& relative) { return (root / relative).string(); }

    ScopedZone zone{"UTC0"};
    ScopedNow clock{kForbidden};
    std::unique_ptr<CDBManager> db;
    const std::unique_ptr<SystemActions> actions = MakeSystemActions(Env());
    // A CD/DVD with "film" on it and a stick with "homework", both hidden in a forbidden
    // quarter; their mount points.
    std::pair<std::string, std::string> HideADiscAndAStick() {
        ForbidRemovableDrivesToo();
        const std::string disc = Point("media/kid/DVD"), stick = Point("media/kid/STICK");
        MountDrive(kDriveCdrom, disc, "film");
        MountDrive(kDriveRemovable, stick, "homework");
        TickAt(kForbidden);
        EXPECT_FALSE(IsMounted(disc));
        EXPECT_FALSE(IsMounted(stick));
        return {disc, stick};
    }

    std::unique_ptr<CDeviceManager> manager;
    std::vector<std::unique_ptr<LoopDevice>> drives;
};

TEST_F(DeviceManagerTest, ForbiddenQuarterHidesEveryOpticalDriveAndAllowedQuarterRestoresThem) {
    const std::string dvd = Point("media/kid/DVD"), second = Point("media/kid/Second Disc");
    const std::string stick = Point("media/kid/STICK"), system = Point("boot");
    MountDrive(kDriveCdrom, dvd, "film");
    MountDrive(kDriveCdrom, second, "music");
    MountDrive(kDriveRemovable, stick, "homework");
    // An optical device that holds one of the system's own trees is never taken away.
    MountDrive(kDriveCdrom, system, "kernel");

    TickAt(kForbidden);
    EXPECT_FALSE(IsMounted(dvd));
    EXPECT_FALSE(IsMounted(second));
    EXPECT_TRUE(IsMounted(stick));  // removable drives have no timetable here
    EXPECT_TRUE(IsMounted(system));
    ExpectEvents(dvd, 1, 0);
    ExpectEvents(second, 1, 0);
    ExpectEvents(stick, 0, 0);
    EXPECT_TRUE(StateText().starts_with(u"1\n0\n")) << Utf16ToUtf8(StateText());
    EXPECT_NE(StateText().find(u"Second\\040Disc"), std::u16string::npos);

    // Hidden drives are not found again: no second message.
    TickAt(kForbidden + 60);
    ExpectEvents(dvd, 1, 0);

    TickAt(kAllowed);
    EXPECT_EQ(ReadAll(fs::path(dvd) / "file.txt"), "film");
    EXPECT_EQ(ReadAll(fs::path(second) / "file.txt"), "music");
    ExpectEvents(dvd, 1, 1);
    ExpectEvents(second, 1, 1);
    EXPECT_EQ(StateText(), u"0\n0\n");
}

TEST_F(DeviceManagerTest, ForbiddenCategoryWithoutItsDrivesLeavesTheFlagClear) {
    const std::string stick = Point("media/kid/STICK");
    MountDrive(kDriveRemovable, stick, "homework");
    // A plain disk is neither kind of drive.
    MountDrive(0, Point("mnt/data"), "data");

    TickAt(kForbidden);
    EXPECT_TRUE(IsMounted(stick));
    EXPECT_TRUE(IsMounted(Point("mnt/data")));
    EXPECT_EQ(StateText(), u"0\n0\n");
    ExpectEvents(stick, 0, 0);
}

TEST_F(DeviceManagerTest, RestartWhileHiddenRestoresOnceAllowedAtAPointWithABlank) {
    const std::string disc = Point("media/kid/My Disc");
    MountDrive(kDriveCdrom, disc, "film");
    TickAt(kForbidden);
    ASSERT_FALSE(IsMounted(disc));
    // The desktop removes the points of drives that went.
    fs::remove(disc);

    Restart();
    TickAt(kForbidden + 300);
    EXPECT_FALSE(IsMounted(disc));
    TickAt(kAllowed);
    EXPECT_EQ(ReadAll(fs::path(disc) / "file.txt"), "film");
    ExpectEvents(disc, 1, 1);
    EXPECT_EQ(StateText(), u"0\n0\n");
}

TEST_F(DeviceManagerTest, ReleaseAllOfAFreshManagerRestoresEveryRememberedDrive) {
    const auto [disc, stick] = HideADiscAndAStick();
    ASSERT_TRUE(StateText().starts_with(u"1\n1\n"));

    // The removal creates and starts the manager, then releases everything, still forbidden.
    Restart();
    EXPECT_EQ(manager->ReleaseAll(), 1);
    EXPECT_EQ(ReadAll(fs::path(disc) / "file.txt"), "film");
    EXPECT_EQ(ReadAll(fs::path(stick) / "file.txt"), "homework");
    EXPECT_EQ(StateText(), u"0\n0\n");
}

TEST_F(DeviceManagerTest, TheRemovalMountsBackEveryDriveTheServiceHid) {
    const auto [disc, stick] = HideADiscAndAStick();
    // The service is gone; the removal's own step finds what it had hidden.
    manager->Stop();
    manager.reset();

    EXPECT_EQ(ReleaseHiddenDrives(), 1);
    EXPECT_EQ(ReadAll(fs::path(disc) / "file.txt"), "film");
    EXPECT_EQ(ReadAll(fs::path(stick) / "file.txt"), "homework");
}

TEST_F(DeviceManagerTest, TwoDevicesHiddenAtOnePointAreRememberedUnderDifferentPoints) {
    ForbidRemovableDrivesToo();
    const std::string stick = Point("media/kid/STICK");
    MountDrive(kDriveRemovable, stick, "first");
    TickAt(kForbidden);
    ASSERT_FALSE(IsMounted(stick));

    // Another stick plugged in later is mounted by the desktop at the same point.
    MountDrive(kDriveRemovable, stick, "second");
    TickAt(kForbidden + 60);
    EXPECT_FALSE(IsMounted(stick));
    ExpectEvents(stick, 2, 0);
    const DriveState state = ParseDriveState(StateText());
    ASSERT_EQ(state.hidden.size(), 2u);
    EXPECT_EQ(state.hidden.at(drives[0]->device()).mount.mountPoint, stick);
    EXPECT_EQ(state.hidden.at(drives[1]->device()).mount.mountPoint, stick + "-2");

    TickAt(kAllowed);
    EXPECT_EQ(ReadAll(fs::path(stick) / "file.txt"), "first");
    EXPECT_EQ(ReadAll(fs::path(stick + "-2") / "file.txt"), "second");
    ExpectEvents(stick + "-2", 0, 1);
}

TEST_F(DeviceManagerTest, UsedUpMinutesKeepOpticalDrivesHiddenWhateverTheTimetable) {
    ASSERT_EQ(SetTimetableMode(*db, u"Kids", Category::CDROM, 0), EditStatus::Done);
    ASSERT_EQ(SetLimitEnabled(*db, u"Kids", Category::CDROM, true), EditStatus::Done);
    ASSERT_EQ(SetLimitMinutes(*db, u"Kids", Category::CDROM, kTuesday, 1), EditStatus::Done);
    UseConsoleUser();
    const std::string dvd = Point("media/kid/DVD");
    MountDrive(kDriveCdrom, dvd, "film");

    TickAt(kAllowed);  // the day's one minute is counted
    EXPECT_TRUE(IsMounted(dvd));
    TickAt(kAllowed + 70);
    EXPECT_FALSE(IsMounted(dvd));
    // Whenever the timetable is asked again later that day, the drive stays hidden.
    ASSERT_EQ(SetTimetableMode(*db, u"Kids", Category::CDROM, 1), EditStatus::Done);
    UseConsoleUser();
    TickAt(kAllowed + 3600);
    EXPECT_FALSE(IsMounted(dvd));
    ExpectEvents(dvd, 1, 0);
}

TEST_F(DeviceManagerTest, ADriveMountedAgainWhileForbiddenIsHiddenAtTheNextTick) {
    const std::string dvd = Point("media/kid/DVD"), again = Point("media/kid/DVD1");
    MountDrive(kDriveCdrom, dvd, "film");
    TickAt(kForbidden);
    ASSERT_FALSE(IsMounted(dvd));

    // The desktop mounts the same disc again, at a point of its own choosing.
    fs::create_directories(again);
    ASSERT_EQ(::mount(drives[0]->device().c_str(), again.c_str(), "ext4", 0, nullptr), 0);
    TickAt(kForbidden + 5);
    EXPECT_FALSE(IsMounted(again));
    ExpectEvents(again, 1, 0);

    // It comes back where it was first hidden.
    TickAt(kAllowed);
    EXPECT_EQ(ReadAll(fs::path(dvd) / "file.txt"), "film");
    EXPECT_FALSE(IsMounted(again));
    ExpectEvents(dvd, 1, 1);
}

// The console child and an account the rules do not control, only under this root.
constexpr uid_t kHolderKid = 62'941;
constexpr uid_t kHolderOther = 62'942;

// args: uid, directory, "cwd" (sits in it) or "open" (holds directory/file.txt open, ignoring
// SIGTERM, and appends "late" to it once the file `args[3]` appears).
ZEN_CHILD(hold_drive) {
    const auto uid = static_cast<uid_t>(std::stoul(args.at(0)));
    if (::setresgid(uid, uid, uid) != 0 || ::setresuid(uid, uid, uid) != 0) {
        return 1;
    }
    if (args.at(2) == "cwd") {
        if (::chdir(args[1].c_str()) != 0) {
            return 2;
        }
        for (;;) {
            ::pause();
        }
    }
    ::signal(SIGTERM, SIG_IGN);
    const UniqueFd file(::open((args[1] + "/file.txt").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
    if (!file) {
        return 3;
    }
    for (;;) {
        if (::access(args.at(3).c_str(), F_OK) == 0 && ::write(file.get(), "late", 4) == 4) {
            ::fsync(file.get());
        }
        ::usleep(10'000);
    }
}

bool SitsIn(pid_t pid, const fs::path& directory) {
    std::error_code error;
    return fs::read_symlink("/proc/" + std::to_string(pid) + "/cwd", error) == directory;
}

TEST_F(DeviceManagerTest, HidingEndsTheChildsHoldersAndUnmountsWithoutDetaching) {
    ForbidRemovableDrivesToo();
    fs::create_directories(root / "etc");
    WriteAll(root / "etc/passwd", "kid:x:62941:62941::/:/bin/false\n");
    const std::string stick = Point("media/kid/STICK");
    MountDrive(kDriveRemovable, stick, "homework");
    ::chmod(root.path().c_str(), 0755);
    for (const fs::path& open : {fs::path(stick), fs::path(stick) / "file.txt"}) {
        fs::permissions(open, fs::perms::all);
    }
    const fs::path afterHide = root / "after-hide";
    Child sitting("hold_drive", {std::to_string(kHolderKid), stick, "cwd"});
    Child writing("hold_drive", {std::to_string(kHolderKid), stick, "open", afterHide.string()});
    ASSERT_TRUE(Eventually([&] { return SitsIn(sitting.pid(), stick); }));
    struct stat mounted {};
    ASSERT_EQ(::stat(stick.c_str(), &mounted), 0);
    ASSERT_TRUE(Eventually([&] { return MountHolders(mounted.st_dev).size() == 2; }));

    TickAt(kForbidden);
    WriteAll(afterHide, "");
    EXPECT_FALSE(IsMounted(stick));
    EXPECT_EQ(sitting.Wait(), 128 + SIGTERM);
    EXPECT_EQ(writing.Wait(), 128 + SIGKILL);
    ExpectEvents(stick, 1, 0);

    // What is on the device: nothing the holder wrote after the hide.
    const std::string look = Point("look");
    fs::create_directories(look);
    ASSERT_EQ(::mount(drives[0]->device().c_str(), look.c_str(), "ext4", MS_RDONLY, nullptr), 0);
    EXPECT_EQ(ReadAll(fs::path(look) / "file.txt"), "homework");
    ::umount2(look.c_str(), 0);
}

TEST_F(DeviceManagerTest, AStickHeldByAnotherAccountStaysMountedReportedOnceAndRetried) {
    ForbidRemovableDrivesToo();
    fs::create_directories(root / "etc");
    WriteAll(root / "etc/passwd",
             "kid:x:62941:62941::/:/bin/false\nother:x:62942:62942::/:/bin/false\n");
    const std::string stick = Point("media/kid/STICK");
    MountDrive(kDriveRemovable, stick, "homework");
    ::chmod(root.path().c_str(), 0755);
    fs::permissions(stick, fs::perms::all);
    Child other("hold_drive", {std::to_string(kHolderOther), stick, "cwd"});
    ASSERT_TRUE(Eventually([&] { return SitsIn(other.pid(), stick); }));

    TickAt(kForbidden);
    TickAt(kForbidden + 5);
    EXPECT_TRUE(IsMounted(stick));
    EXPECT_EQ(::kill(other.pid(), 0), 0);
    const auto busyReports = [&] {
        const std::u16string busy = Utf8ToUtf16("The disk " + stick + " is in use.");
        int count = 0;
        VisitLog<WarningRecord>(db->Warnings(), [&](const WarningRecord& record) {
            count += FieldText(record.text) == busy && FieldText(record.program) == u"test_service";
        });
        return count;
    };
    EXPECT_EQ(busyReports(), 1);
    ExpectEvents(stick, 0, 0);

    other.Kill(SIGKILL);
    other.Wait();
    TickAt(kForbidden + 10);
    EXPECT_FALSE(IsMounted(stick));
    ExpectEvents(stick, 1, 0);
    EXPECT_EQ(busyReports(), 1);
}

// The polkit rule reads who udisks must refuse from the service's file.
TEST_F(DeviceManagerTest, TheMediaTheChildMayNotMountAreKeptForThePolkitRule) {
    TickAt(kForbidden);  // no drive mounted: the CD/DVD is forbidden all the same
    EXPECT_EQ(ReadAll(root / "run/zentimo/media-forbidden"), "optical kid\n");
    EXPECT_EQ(fs::status(root / "run/zentimo/media-forbidden").permissions(), fs::perms(0644));
    ForbidRemovableDrivesToo();
    TickAt(kForbidden + 5);
    EXPECT_EQ(ReadAll(root / "run/zentimo/media-forbidden"), "optical kid\nremovable kid\n");
    TickAt(kAllowed);
    EXPECT_EQ(ReadAll(root / "run/zentimo/media-forbidden"), "");
}

// A scratch file under the root stands in for /dev/sr0, with the entry udev's uaccess gives.
TEST_F(DeviceManagerTest, TheConsoleChildsOpticalDeviceAccessGoesWhileForbidden) {
    fs::create_directories(root / "etc");
    WriteAll(root / "etc/passwd", "kid:x:62941:62941::/:/bin/false\n");
    fs::create_directories(root / "dev");
    const fs::path node = root / "dev/sr0";
    WriteAll(node, "");
    if (!GrantUserAccess(node, kHolderKid)) {
        GTEST_SKIP() << "no POSIX ACLs under the root";
    }
    TickAt(kForbidden);
    EXPECT_FALSE(HasUserAccess(node, kHolderKid));
    ASSERT_TRUE(GrantUserAccess(node, kHolderKid));  // udev again, on a media change
    TickAt(kForbidden + 5);
    EXPECT_FALSE(HasUserAccess(node, kHolderKid));
    TickAt(kAllowed);
    EXPECT_TRUE(HasUserAccess(node, kHolderKid));
}

TEST_F(DeviceManagerTest, RulesSwitchedOffRestoreHiddenDrivesInTheForbiddenQuarter) {
    const std::string dvd = Point("media/kid/DVD");
    MountDrive(kDriveCdrom, dvd, "film");
    TickAt(kForbidden);
    ASSERT_FALSE(IsMounted(dvd));

    ASSERT_EQ(SetDisable(*db, u"Kids", true), EditStatus::Done);
    UseConsoleUser();
    TickAt(kForbidden + 5);
    EXPECT_EQ(ReadAll(fs::path(dvd) / "file.txt"), "film");
    ExpectEvents(dvd, 1, 1);
    EXPECT_EQ(StateText(), u"0\n0\n");
}

TEST_F(DeviceManagerTest, APointSwappedForALinkIsNotFollowed) {
    ForbidRemovableDrivesToo();
    const std::string stick = Point("media/kid/STICK");
    MountDrive(kDriveRemovable, stick, "homework");
    TickAt(kForbidden);
    ASSERT_FALSE(IsMounted(stick));

    // While hidden, the point becomes a link into the system's configuration.
    fs::remove(stick);
    fs::create_directories(root / "etc/cron.d");
    fs::create_symlink(root / "etc/cron.d", stick);
    TickAt(kAllowed);
    EXPECT_TRUE(MountsBelow(root.path()).empty());
    EXPECT_TRUE(fs::is_symlink(stick));
    EXPECT_NE(root.ErrorLog().find("CDeviceManager::Restore()"), std::string::npos);
    EXPECT_EQ(StateText(), u"0\n0\n");
}

TEST_F(DeviceManagerTest, ARestoreMountsOnlyDrivesOfTheirKindInMediaDirectoriesWithoutSetuid) {
    // Every account can write the options: a state naming a disk that is no drive, or a point
    // over the system, is not carried out.
    MountDrive(0, Point("mnt/disk"), "system data");
    MountDrive(kDriveRemovable, Point("mnt/stick"), "homework");
    MountDrive(kDriveRemovable, Point("mnt/other"), "other");
    for (const std::string& point : MountsBelow(root.path())) {
        ASSERT_EQ(::umount2(point.c_str(), 0), 0);
    }
    DriveState state;
    state.removableBlocked = 1;
    const auto remember = [&](const LoopDevice& drive, const std::string& point) {
        state.hidden[drive.device()] = {{drive.device(), point, "ext4", "rw,relatime"},
                                        kDriveRemovable};
    };
    remember(*drives[0], Point("media/kid/DISK"));
    remember(*drives[1], Point("etc/cron.d"));
    remember(*drives[2], Point("run/media/kid/OTHER"));
    manager.reset();  // so that it stores nothing of its own
    ASSERT_EQ(db->SaveDeviceState(FormatDriveState(state, 510).text), 1);

    Restart();
    EXPECT_EQ(manager->ReleaseAll(), 1);
    EXPECT_EQ(MountsBelow(root.path()), std::vector{Point("run/media/kid/OTHER")});
    EXPECT_EQ(ReadAll(root / "run/media/kid/OTHER/file.txt"), "other");
    EXPECT_NE(MountOptions(Point("run/media/kid/OTHER")).find("nosuid,nodev"), std::string::npos);
    EXPECT_FALSE(fs::exists(root / "etc/cron.d"));
    EXPECT_EQ(StateText(), u"0\n0\n");
}

// The one run of the real service: the manager comes first from the factory, hides on the
// service's first tick, and mails the notice when the options ask for it.
TEST_F(DeviceManagerTest, TheRealServiceHidesOnItsFirstTickAndMailsTheNotice) {
    AiosmtpdServer server(root / "received", {});
    {
        LockedOptions locked = db->LockOptions();
        Options& options = *locked;
        SetFieldText(options.SMTPServer, u"127.0.0.1");
        options.Port = server.port();
        SetFieldText(options.SMTPFrom, u"zentimo@example.org");
        SetFieldText(options.SMTPTo, u"admin@example.org");
        options.SendNotificationEMail = 1;
    }
    ASSERT_EQ(db->SaveOptionsAndNotify(), 1);
    ASSERT_EQ(SetTimetableRange(*db, u"Kids", Category::CDROM, 0x7F, 0, 96, false),
              EditStatus::Done);
    WriteAll(root / "run/zentimo/seat", "kid\n");
    const std::string dvd = Point("media/kid/DVD");
    MountDrive(kDriveCdrom, dvd, "film");
    manager.reset();

    {
        // Forked from this thread, the service shares its private mount namespace.
        ZensvcProcess service({"-debug"});
        ASSERT_TRUE(service.WaitForLines("zensvc: tick:", 1, 15s)) << service.Stderr();
        EXPECT_TRUE(Eventually([&] { return !IsMounted(dvd); }));
        EXPECT_TRUE(Eventually([&] { return server.MessageCount() == 1; }));
        EXPECT_TRUE(SendControlCode(kStopCode));
        EXPECT_EQ(service.WaitExit(10s), std::optional<int>(129));
    }
    EXPECT_NE(server.Message(1).find("The disk " + dvd + " has been disabled."), std::string::npos);
    Restart();
    EXPECT_TRUE(StateText().starts_with(u"1\n0\n")) << Utf16ToUtf8(StateText());
    ExpectEvents(dvd, 1, 0);
}

// DriveStateText on its own.
TEST(DriveStateTextTest, PathsWithBlanksAndSpecialBytesRoundTrip) {
    DriveState state;
    state.cdromBlocked = 1;
    state.hidden["/dev/sr0"] = {{"/dev/sr0", "/media/kid/My Disc", "iso9660", "ro,nosuid"},
                                kDriveCdrom};
    state.hidden["/dev/odd name"] = {{"/dev/odd name", "/media/a\\b\tc\nd", "vfat", ""},
                                     kDriveRemovable};
    const DriveStateText text = FormatDriveState(state, 510);
    EXPECT_TRUE(text.complete);
    EXPECT_EQ(text.text,
              u"1\n0\n/dev/odd\\040name\n/media/a\\134b\\011c\\012d\n2\nvfat\n-\n"
              u"/dev/sr0\n/media/kid/My\\040Disc\n5\niso9660\nro,nosuid\n");
    EXPECT_EQ(ParseDriveState(text.text), state);
}

TEST(DriveStateTextTest, WhatDoesNotFitIsShortenedOrLeftOutWholeNeverCut) {
    DriveState state;
    state.removableBlocked = 1;
    const std::string longOptions = "uid=1000,gid=1000,fmask=0022,dmask=0022,codepage=437";
    for (const char* device : {"/dev/sdb1", "/dev/sdc1", "/dev/sdd1"}) {
        state.hidden[device] = {{device, "/media/kid/STICK", "vfat", longOptions}, kDriveRemovable};
    }
    // Room for the flags, one whole drive and one without its options.
    const std::size_t full = 4 + 46 + longOptions.size();
    const DriveStateText text = FormatDriveState(state, full + 40);
    EXPECT_FALSE(text.complete);
    EXPECT_LE(text.text.size(), full + 40);
    const DriveState stored = ParseDriveState(text.text);
    ASSERT_EQ(stored.hidden.size(), 2u);
    EXPECT_EQ(stored.hidden.at("/dev/sdb1"), state.hidden.at("/dev/sdb1"));
    EXPECT_EQ(stored.hidden.at("/dev/sdc1").mount.options, "");
    EXPECT_EQ(stored.hidden.at("/dev/sdc1").mount.fsType, "vfat");
}

TEST(DriveStateTextTest, ARememberedPointTakenGetsTheLowestFreeSibling) {
    DriveState state;
    EXPECT_EQ(FreeMountPoint(state, "/media/kid/STICK"), "/media/kid/STICK");
    state.hidden["/dev/sdb1"] = {{"/dev/sdb1", "/media/kid/STICK", "vfat", ""}, kDriveRemovable};
    EXPECT_EQ(FreeMountPoint(state, "/media/kid/STICK"), "/media/kid/STICK-2");
    state.hidden["/dev/sdc1"] = {{"/dev/sdc1", "/media/kid/STICK-3", "vfat", ""}, kDriveRemovable};
    EXPECT_EQ(FreeMountPoint(state, "/media/kid/STICK"), "/media/kid/STICK-2");
    state.hidden["/dev/sdd1"] = {{"/dev/sdd1", "/media/kid/STICK-2", "vfat", ""}, kDriveRemovable};
    EXPECT_EQ(FreeMountPoint(state, "/media/kid/STICK"), "/media/kid/STICK-4");
}

}  // namespace
}  // namespace zen::test
