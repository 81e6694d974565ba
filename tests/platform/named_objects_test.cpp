#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <thread>

#include "platform/named_event.h"
#include "platform/named_mutex.h"
#include "platform/unique_fd.h"
#include "support/child_process.h"
#include "support/temp_root.h"
#include "tests/platform/named_object_support.h"

namespace zen {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::Child;
using test::RunChild;

constexpr char kMutexName[] = "_QRT_OptionsMutex_";

// As "nobody": opens the mutex and takes it. 0 when taken, 100 + errno when not opened.
ZEN_CHILD(mutex_as_nobody) {
    if (!test::DropToNobody()) {
        return 3;
    }
    NamedMutex mutex;
    if (!mutex.Open(kMutexName)) {
        return test::OpenFailure();
    }
    return Holds(mutex.Lock(5s)) ? 0 : 1;
}

// With the guard on, as the service runs: the mutex's and the event's files are cut to
// nothing under their mappings. Touching them must not end the process; Refresh maps the
// objects again, the event's waiter then hears pulses on the new file, and the lock is one
// with every other handle's again. 0 when all of that holds.
ZEN_CHILD(cut_under_the_guard) {
    GuardNamedObjectMappings();
    NamedMutex mutex;
    NamedEvent event;
    if (!mutex.Open(kMutexName) || !event.Open(test::kEventName)) {
        return test::OpenFailure();
    }
    std::atomic<int> woken{0};
    std::thread waiter([&] { woken = event.WaitForChange(event.Generation(), 10s) ? 1 : 2; });
    std::this_thread::sleep_for(50ms);
    for (const char* name : {kMutexName, test::kEventName}) {
        if (::truncate(test::ObjectFile(name).c_str(), 0) != 0) {
            return 3;
        }
    }
    if (!Holds(mutex.Lock(1s))) {  // touches the cut pages
        return 4;
    }
    mutex.Unlock();
    if (!mutex.Refresh() || !event.Refresh()) {
        return 5;
    }
    NamedEvent pulser;
    if (!pulser.Open(test::kEventName) || !pulser.Pulse()) {
        return 6;
    }
    waiter.join();
    if (woken != 1) {
        return 7;
    }
    NamedMutex other;
    if (!other.Open(kMutexName) || mutex.Lock() != LockResult::Acquired) {
        return 8;
    }
    LockResult elsewhere = LockResult::Failed;
    std::thread([&] { elsewhere = other.Lock(0ms); }).join();
    return elsewhere == LockResult::TimedOut ? 0 : 9;
}

int RunEventOp(const std::string& who, const std::string& access, const std::string& op) {
    return RunChild("event_op", {who, access, op, "0"});
}

struct stat StatOf(const fs::path& path) {
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return status;
}

// "nobody" must be able to reach the run directory inside the temporary root.
class NamedObjectsTest : public test::RootedTest {
protected:
    void SetUp() override { ASSERT_EQ(::chmod(root.path().c_str(), 0755), 0); }

    // A file outside the run directory that a planted link points at; writable by everyone,
    // so that a process following the link could change it.
    fs::path Precious() {
        const fs::path path = root / "precious";
        if (!fs::exists(path)) {
            test::WriteAll(path, "precious");
            ::chmod(path.c_str(), 0666);
        }
        return path;
    }
};

struct Hostile {
    const char* what;
    std::function<void(const fs::path& object, const fs::path& precious)> plant;
};

const Hostile kHostile[] = {
    {"empty", [](const fs::path& object, const fs::path&) { test::WriteAll(object, ""); }},
    {"truncated", [](const fs::path& object, const fs::path&) { test::WriteAll(object, "abc"); }},
    {"foreign magic",
     [](const fs::path& object, const fs::path&) { test::WriteAll(object, std::string(64, 'x')); }},
    {"symbolic link", [](const fs::path& object,
                         const fs::path& precious) { fs::create_symlink(precious, object); }},
    {"hard link", [](const fs::path& object,
                     const fs::path& precious) { fs::create_hard_link(precious, object); }},
    {"fifo", [](const fs::path& object, const fs::path&) { ::mkfifo(object.c_str(), 0666); }},
    {"directory", [](const fs::path& object, const fs::path&) { fs::create_directory(object); }},
};

TEST_F(NamedObjectsTest, RootReplacesAHostileFileAndNeverFollowsIt) {
    const fs::path object = test::ObjectFile(kMutexName);
    for (const Hostile& hostile : kHostile) {
        SCOPED_TRACE(hostile.what);
        hostile.plant(object, Precious());
        NamedMutex mutex;
        ASSERT_TRUE(mutex.Open(kMutexName)) << std::strerror(errno);
        const struct stat status = StatOf(object);
        EXPECT_TRUE(S_ISREG(status.st_mode));
        EXPECT_EQ(status.st_nlink, 1u);
        EXPECT_EQ(status.st_mode & 07777, 0666u);
        EXPECT_EQ(mutex.Lock(0ms), LockResult::Acquired);
        mutex.Unlock();
        EXPECT_EQ(test::ReadAll(Precious()), "precious");
        EXPECT_EQ(StatOf(Precious()).st_nlink, 1u);
        // Every process now shares the fresh object.
        EXPECT_EQ(RunChild("mutex_as_nobody"), 0);
        mutex.Close();
        fs::remove(object);
    }
}

TEST_F(NamedObjectsTest, UserCannotReplaceARootFileAndNeverFollowsIt) {
    const fs::path object = test::ObjectFile(kMutexName);
    for (const Hostile& hostile : kHostile) {
        SCOPED_TRACE(hostile.what);
        hostile.plant(object, Precious());
        EXPECT_GE(RunChild("mutex_as_nobody"), 100);
        EXPECT_EQ(test::ReadAll(Precious()), "precious");
        fs::remove(object);
    }
}

TEST_F(NamedObjectsTest, CutFilesNeitherKillNorDeafenAGuardedProcess) {
    EXPECT_EQ(RunChild("cut_under_the_guard"), 0);
}

TEST_F(NamedObjectsTest, ModesAreExactWhateverTheUmask) {
    const mode_t previous = ::umask(077);
    NamedMutex mutex;
    NamedEvent everyone, rootOnly, rootSignals;
    ASSERT_TRUE(mutex.Open(kMutexName));
    ASSERT_TRUE(everyone.Open("__Zentimo_Reload_Event__"));
    ASSERT_TRUE(rootOnly.Open("__Zentimo_Stop_Event__", ObjectAccess::RootOnly));
    ASSERT_TRUE(rootSignals.Open("__Zentimo_CP_Stop__", ObjectAccess::RootSignals));
    ::umask(previous);
    EXPECT_EQ(StatOf(test::ObjectFile(kMutexName)).st_mode & 07777, 0666u);
    EXPECT_EQ(StatOf(test::ObjectFile("__Zentimo_Reload_Event__")).st_mode & 07777, 0666u);
    EXPECT_EQ(StatOf(test::ObjectFile("__Zentimo_Stop_Event__")).st_mode & 07777, 0600u);
    EXPECT_EQ(StatOf(test::ObjectFile("__Zentimo_CP_Stop__")).st_mode & 07777, 0644u);
}

TEST_F(NamedObjectsTest, UserCannotOpenARootOnlyObject) {
    EXPECT_EQ(RunEventOp("nobody", "rootonly", "open"), 100 + EACCES);  // missing
    NamedEvent event;
    ASSERT_TRUE(event.Open(test::kEventName, ObjectAccess::RootOnly));
    EXPECT_EQ(RunEventOp("nobody", "rootonly", "open"), 100 + EACCES);
    EXPECT_EQ(RunEventOp("nobody", "everyone", "open"), 100 + EACCES);
    EXPECT_EQ(StatOf(test::ObjectFile(test::kEventName)).st_uid, 0u);
}

TEST_F(NamedObjectsTest, UserWaitsOnARootSignalsEventButCannotSignalIt) {
    // Only root makes such an event; a user finds it or nothing.
    EXPECT_EQ(RunEventOp("nobody", "rootsignals", "open"), 100 + ENOENT);
    NamedEvent event;
    ASSERT_TRUE(event.Open(test::kEventName, ObjectAccess::RootSignals));
    for (const char* op : {"set", "pulse", "reset"}) {
        EXPECT_EQ(RunEventOp("nobody", "rootsignals", op), 1) << op;
    }
    EXPECT_EQ(RunEventOp("nobody", "rootsignals", "isset"), 1);
    ASSERT_TRUE(event.Set());
    EXPECT_EQ(RunEventOp("nobody", "rootsignals", "isset"), 0);
    EXPECT_EQ(RunEventOp("nobody", "rootsignals", "reset"), 1);
    EXPECT_TRUE(event.IsSet());
    ASSERT_TRUE(event.Reset());

    Child waiter("event_op", {"nobody", "rootsignals", "wait", "10000"});
    EXPECT_EQ(test::PulseUntilEnd(event, waiter), 0);
}

TEST_F(NamedObjectsTest, RootReplacesARootSignalsEventMadeByAUser) {
    // A user makes an event of that name for everyone, hoping to signal the real one.
    ASSERT_EQ(RunEventOp("nobody", "everyone", "open"), 0);
    const fs::path object = test::ObjectFile(test::kEventName);
    ASSERT_EQ(StatOf(object).st_uid, test::kNobody);
    UniqueFd forged(::open(object.c_str(), O_RDONLY | O_CLOEXEC));
    EXPECT_EQ(RunEventOp("nobody", "rootsignals", "open"), 100 + EINVAL);

    NamedEvent event;
    ASSERT_TRUE(event.Open(test::kEventName, ObjectAccess::RootSignals));
    struct stat old {};
    ASSERT_EQ(::fstat(forged.get(), &old), 0);
    EXPECT_EQ(old.st_nlink, 0u);  // replaced, not taken over
    const struct stat status = StatOf(object);
    EXPECT_EQ(status.st_uid, 0u);
    EXPECT_EQ(status.st_mode & 07777, 0644u);
    EXPECT_EQ(RunEventOp("nobody", "rootsignals", "open"), 0);
}

TEST_F(NamedObjectsTest, RefusesBadNamesAndAMissingOrLinkedRunDirectory) {
    NamedMutex mutex;
    for (const char* name : {"", ".", "..", "a/b", "../escape"}) {
        EXPECT_FALSE(mutex.Open(name)) << name;
        EXPECT_EQ(errno, EINVAL) << name;
    }
    EXPECT_FALSE(mutex.Open(std::string(300, 'a')));

    const fs::path elsewhere = root / "elsewhere";
    fs::create_directory(elsewhere);
    fs::remove_all(paths::RunDir());
    EXPECT_FALSE(mutex.Open(kMutexName));
    EXPECT_EQ(errno, ENOENT);
    fs::create_directory_symlink(elsewhere, paths::RunDir());
    EXPECT_FALSE(mutex.Open(kMutexName));
    EXPECT_TRUE(fs::is_empty(elsewhere));
}

}  // namespace
}  // namespace zen
