// The service's parts on their own: status changes, the time record, the verbs, the
// manager factory, process owners.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string_view>

#include "common/db/db_manager.h"
#include "platform/accounts.h"
#include "platform/process_owner.h"
#include "platform/root.h"
#include "platform/system_actions.h"
#include "service/mgr_factory.h"
#include "service/service_status.h"
#include "service/time_socket.h"
#include "service/verbs.h"
#include "support/child_process.h"
#include "support/temp_root.h"

namespace zen::test {
namespace {

TEST(ServiceStatusTest, StartsPendingRunsStopsAndRefusesASecondStop) {
    ServiceStatus status;
    status.Initialize(true);
    EXPECT_EQ(status.state(), ServiceState::StartPending);
    EXPECT_EQ(status.waitHint(), 2000u);
    EXPECT_EQ(status.controlsAccepted(), 0u);
    status.AcceptControls(kAcceptShutdown | kAcceptSessionChange);
    EXPECT_EQ(status.controlsAccepted(), 0x84u);

    EXPECT_TRUE(status.AdvanceStatus());
    EXPECT_EQ(status.state(), ServiceState::Running);
    EXPECT_EQ(status.waitHint(), 0u);
    EXPECT_FALSE(status.AdvanceStatus());  // running has no target

    EXPECT_TRUE(status.BeginStop());
    EXPECT_EQ(status.state(), ServiceState::StopPending);
    EXPECT_EQ(status.checkPoint(), 1u);
    EXPECT_FALSE(status.BeginStop());  // not settled yet: the stop is already under way
    EXPECT_TRUE(status.AdvanceStatus());
    EXPECT_EQ(status.state(), ServiceState::Stopped);
    EXPECT_EQ(status.checkPoint(), 0u);
}

TEST(TimeRecordTest, UtcFieldsLittleEndianWithSundayZero) {
    // Sun 2024-03-03 13:45:30.123 UTC
    const auto record = SystemTimeRecord({1'709'473'530, 123'456'789});
    const uint8_t expected[16] = {0xE8, 0x07, 3, 0, 0, 0, 3, 0, 13, 0, 45, 0, 30, 0, 123, 0};
    EXPECT_EQ(std::memcmp(record.data(), expected, sizeof expected), 0);
}

class VerbsTest : public RootedTest {};

TEST_F(VerbsTest, UnprefixedWordsAndInstallRemoveDoNothing) {
    // A prefixed word zensvc does not know ends it with exit code 2 (command_line_test.cpp).
    const std::string_view arguments[] = {"debug", "service", "-install", "/Remove", ""};
    EXPECT_EQ(RunVerbs(arguments), 0);
    EXPECT_EQ(RunVerbs({}), 0);
    EXPECT_FALSE(std::filesystem::exists(paths::ServiceUnit()));
    EXPECT_FALSE(std::filesystem::exists(paths::TimeSocket()));
    EXPECT_FALSE(std::filesystem::exists(paths::ControlSocket()));
}

std::unique_ptr<CManager> NoManager(CDBManager&, SystemActions&) {
    return nullptr;
}

TEST(ManagerFactoryTest, FailedCreationRaisesAllocationErrorWithItsText) {
    const CMgrFactory factory;
    const ManagerCreation creation{"#ERROR : device manager allocation error", NoManager};
    CDBManager db;
    const auto actions = MakeSystemActions(Env());
    try {
        factory.Create(creation, db, *actions);
        FAIL() << "no exception";
    } catch (const std::bad_alloc& error) {
        EXPECT_STREQ(error.what(), "#ERROR : device manager allocation error");
    }
}

ZEN_CHILD(sleep_as_nobody) {
    if (::setresuid(65534, 65534, 65534) != 0) {
        return 1;
    }
    ::pause();
    return 0;
}

TEST(ProcessOwnerTest, LoginNameOfTheProcessesRealUid) {
    EXPECT_EQ(ProcessOwner(::getpid()), LoginNameOf(::getuid()));
    Child child("sleep_as_nobody");
    for (int i = 0; i < 100 && ProcessOwner(child.pid()) == LoginNameOf(::getuid()); ++i) {
        ::usleep(10'000);
    }
    EXPECT_EQ(ProcessOwner(child.pid()), LoginNameOf(65534));
    EXPECT_EQ(ProcessOwner(0x7ffffff0), std::nullopt);
}

}  // namespace
}  // namespace zen::test
