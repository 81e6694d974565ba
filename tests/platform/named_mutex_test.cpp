#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>

#include <atomic>
#include <cstdint>
#include <thread>

#include "platform/environment.h"
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

constexpr char kName[] = "_QRT_StateMutex_";

fs::path CounterFile() {
    return paths::RunDir() / "counter";
}

uint64_t ReadCounter(int fd) {
    uint64_t value = 0;
    return ::pread(fd, &value, sizeof value, 0) == sizeof value ? value : ~uint64_t{0};
}

// Adds one to a counter kept in a plain file, read and written back under the mutex: any
// overlap of two holders loses an update.
ZEN_CHILD(mutex_count) {
    NamedMutex mutex;
    UniqueFd fd(::open(CounterFile().c_str(), O_RDWR | O_CLOEXEC));
    if (!mutex.Open(kName) || !fd) {
        return test::OpenFailure();
    }
    const int rounds = std::stoi(args.at(0));
    for (int i = 0; i < rounds; ++i) {
        NamedMutexLock lock(mutex);
        if (!lock.owns()) {
            return 3;
        }
        const uint64_t value = ReadCounter(fd.get()) + 1;
        ::sched_yield();
        if (::pwrite(fd.get(), &value, sizeof value, 0) != sizeof value) {
            return 4;
        }
    }
    return 0;
}

// Takes the mutex, says so with a file, and keeps it until killed.
ZEN_CHILD(mutex_hold) {
    NamedMutex mutex;
    if (!mutex.Open(kName)) {
        return test::OpenFailure();
    }
    if (mutex.Lock() != LockResult::Acquired) {
        return 3;
    }
    test::WriteAll(paths::RunDir() / "held", "1");
    for (;;) {
        ::pause();
    }
}

// 0 when the mutex could be taken at once, 1 when it timed out.
ZEN_CHILD(mutex_try) {
    NamedMutex mutex;
    if (!mutex.Open(kName)) {
        return test::OpenFailure();
    }
    switch (mutex.Lock(0ms)) {
        case LockResult::Acquired:
            return 0;
        case LockResult::TimedOut:
            return 1;
        default:
            return 2;
    }
}

// As "nobody": 0 when a wait of up to ten seconds ends with the lock taken over.
ZEN_CHILD(mutex_take_over_as_nobody) {
    NamedMutex mutex;
    if (!test::DropToNobody() || !mutex.Open(kName)) {
        return test::OpenFailure();
    }
    return mutex.Lock(10s) == LockResult::Abandoned ? 0 : 1;
}

class NamedMutexTest : public test::RootedTest {
protected:
    Child StartHolder() {
        Child holder("mutex_hold");
        EXPECT_TRUE(test::WaitForFile(paths::RunDir() / "held"));
        return holder;
    }
};

TEST_F(NamedMutexTest, ProcessesIncrementingUnderItLoseNoUpdate) {
    test::WriteAll(CounterFile(), std::string(sizeof(uint64_t), '\0'));
    constexpr int kProcesses = 3;
    constexpr int kRounds = 2000;
    std::vector<Child> children;
    for (int i = 0; i < kProcesses; ++i) {
        children.emplace_back("mutex_count", std::vector<std::string>{std::to_string(kRounds)});
    }
    for (Child& child : children) {
        EXPECT_EQ(child.Wait(), 0);
    }
    UniqueFd fd(::open(CounterFile().c_str(), O_RDONLY | O_CLOEXEC));
    EXPECT_EQ(ReadCounter(fd.get()), uint64_t{kProcesses * kRounds});
}

TEST_F(NamedMutexTest, TimesOutWhileHeldAndIsAbandonedWhenTheHolderIsKilled) {
    NamedMutex mutex;
    ASSERT_TRUE(mutex.Open(kName));
    Child holder = StartHolder();

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(mutex.Lock(150ms), LockResult::TimedOut);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);

    holder.Kill(SIGKILL);
    EXPECT_EQ(holder.Wait(), 128 + SIGKILL);
    EXPECT_EQ(mutex.Lock(), LockResult::Abandoned);
    mutex.Unlock();
    EXPECT_EQ(mutex.Lock(), LockResult::Acquired);
    mutex.Unlock();
    EXPECT_EQ(RunChild("mutex_try"), 0);
}

TEST_F(NamedMutexTest, WaiterIsReleasedWhenTheHolderDiesMeanwhile) {
    NamedMutex mutex;
    ASSERT_TRUE(mutex.Open(kName));
    Child holder = StartHolder();
    std::thread killer([&] {
        std::this_thread::sleep_for(200ms);
        holder.Kill(SIGKILL);
    });
    EXPECT_EQ(mutex.Lock(), LockResult::Abandoned);
    killer.join();
    mutex.Unlock();
}

TEST_F(NamedMutexTest, IsRecursivePerThread) {
    NamedMutex mutex;
    ASSERT_TRUE(mutex.Open(kName));
    ASSERT_EQ(mutex.Lock(), LockResult::Acquired);
    ASSERT_EQ(mutex.Lock(0ms), LockResult::Acquired);

    // Another thread of this process is another owner; its release is refused.
    std::thread([&] {
        EXPECT_EQ(mutex.Lock(0ms), LockResult::TimedOut);
        mutex.Unlock();
    }).join();

    mutex.Unlock();
    EXPECT_EQ(RunChild("mutex_try"), 1);
    mutex.Unlock();
    EXPECT_EQ(RunChild("mutex_try"), 0);
}

TEST_F(NamedMutexTest, ForkedChildDoesNotInheritOwnership) {
    NamedMutex mutex;
    ASSERT_TRUE(mutex.Open(kName));
    ASSERT_EQ(mutex.Lock(), LockResult::Acquired);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::_exit(mutex.Lock(0ms) == LockResult::TimedOut ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    mutex.Unlock();
}

TEST_F(NamedMutexTest, UnopenedMutexFails) {
    NamedMutex mutex;
    EXPECT_FALSE(mutex.IsOpen());
    EXPECT_EQ(mutex.Lock(), LockResult::Failed);
    mutex.Unlock();
    ASSERT_TRUE(mutex.Open(kName));
    EXPECT_EQ(mutex.Name(), kName);
    mutex.Close();
    EXPECT_FALSE(mutex.IsOpen());
    EXPECT_EQ(mutex.Lock(), LockResult::Failed);
}

void WriteOwnerWord(uint64_t owner) {
    UniqueFd fd(::open((paths::RunDir() / kName).c_str(), O_WRONLY | O_CLOEXEC));
    ASSERT_TRUE(fd);
    ASSERT_EQ(::pwrite(fd.get(), &owner, sizeof owner, 8), static_cast<ssize_t>(sizeof owner));
}

// A word that names a thread which does not hold the lock is taken over, whoever it names:
// a dead or absent thread at once, a thread of this very process that holds nothing once the
// claim has stood a moment. A live process is checked for the object in its memory map where
// that map can be read, and root's patience ends the wait where it cannot (a container
// without CAP_SYS_PTRACE).
TEST_F(NamedMutexTest, ForgedOwnerWordsAreTakenOver) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "another process's memory map can be read only as root";
    }
    NamedMutex mutex;
    ASSERT_TRUE(mutex.Open(kName));
    const uint64_t self =
        (static_cast<uint64_t>(::getpid()) << 32) | static_cast<uint32_t>(::getpid());
    const struct {
        const char* what;
        uint64_t word;
        std::chrono::milliseconds within;
    } cases[] = {
        {"no process", uint64_t{0x7FFFFFF0} << 32 | 0x7FFFFFF0, 100ms},
        {"garbage", 0xA5A5A5A5A5A5A5A5, 100ms},
        {"this process's main thread, holding nothing", self, 500ms},
        {"pid 1, which never mapped it", uint64_t{1} << 32 | 1, 1500ms},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteOwnerWord(c.word);
        const auto start = std::chrono::steady_clock::now();
        std::thread([&] {
            EXPECT_EQ(mutex.Lock(5s), LockResult::Abandoned);
            mutex.Unlock();
        }).join();
        EXPECT_LT(std::chrono::steady_clock::now() - start, c.within);
    }
}

// A claim another account cannot check (pid 1's memory map is root's) does not hold it for
// good either.
TEST_F(NamedMutexTest, ClaimsAUserCannotCheckLastFiveSeconds) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "turning into nobody needs root";
    }
    ASSERT_EQ(::chmod(root.path().c_str(), 0755), 0);
    NamedMutex mutex;
    ASSERT_TRUE(mutex.Open(kName));
    WriteOwnerWord(uint64_t{1} << 32 | 1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunChild("mutex_take_over_as_nobody"), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 8s);
}

// Root does not wait for ever on another process that keeps the lock: after a second of
// waiting, it takes it over. Others wait on.
TEST_F(NamedMutexTest, RootTakesOverALockHeldTooLong) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "the take-over is root's";
    }
    NamedMutex mutex;
    ASSERT_TRUE(mutex.Open(kName));
    Child holder = StartHolder();
    EXPECT_EQ(mutex.Lock(500ms), LockResult::TimedOut);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(mutex.Lock(5s), LockResult::Abandoned);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    // The holder's release no longer frees what root now holds.
    EXPECT_EQ(RunChild("mutex_try"), 1);
    mutex.Unlock();
    EXPECT_EQ(RunChild("mutex_try"), 0);
}

// A Lock without a time-out waits at most the environment's limit, once it sets one.
TEST_F(NamedMutexTest, EnvironmentWaitLimitBoundsLocksWithoutATimeOut) {
    NamedMutex mutex;
    ASSERT_TRUE(mutex.Open(kName));
    Child holder = StartHolder();
    Environment limited = Env();
    limited.lockWaitLimit = 200ms;
    SetEnvironment(limited);
    const auto start = std::chrono::steady_clock::now();
    const LockResult result = mutex.Lock();
    Environment unlimited = Env();
    unlimited.lockWaitLimit.reset();
    SetEnvironment(unlimited);
    EXPECT_EQ(result, LockResult::TimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 900ms);
}

}  // namespace
}  // namespace zen
