#include "platform/scm/service_manager.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/clock/simulated_clock.h"

namespace corvane::platform {
namespace {

class ServiceManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("corvane-scm-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    ASSERT_EQ(ServiceManager::Open(dir_ / "registry", manager_), kScmOk);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::filesystem::path dir_;
  std::optional<ServiceManager> manager_;
  SimulatedClock clock_{TimePoint{}};
};

TEST_F(ServiceManagerTest, RegistrationRoundTripsAndAnswersWithWindowsCodes) {
  ServiceConfig config{"Corvane", "/opt/corvane/CorvaneSrv", {}, {{"CORVANE_X", "a=b\nc\\d"}}};
  ASSERT_EQ(manager_->Create(config), kScmOk);
  EXPECT_EQ(manager_->Create(config), kErrorServiceExists);
  ServiceConfig read;
  ASSERT_EQ(manager_->QueryConfig("Corvane", read), kScmOk);
  EXPECT_EQ(read.program, config.program);
  EXPECT_TRUE(read.arguments.empty());
  EXPECT_EQ(read.environment, config.environment);

  ServiceStatus status;
  ASSERT_EQ(manager_->QueryStatus("Corvane", status), kScmOk);
  EXPECT_EQ(status.state, ServiceState::kStopped);
  EXPECT_EQ(manager_->Stop("Corvane"), kErrorServiceNotActive);
  EXPECT_EQ(manager_->Start("Corvane", clock_), kErrorFileNotFound);

  EXPECT_EQ(manager_->OpenService("Other"), kErrorServiceDoesNotExist);
  EXPECT_EQ(manager_->Start("Other", clock_), kErrorServiceDoesNotExist);
  EXPECT_EQ(manager_->OpenService("../etc/passwd"), kErrorInvalidName);

  EXPECT_EQ(manager_->Delete("Corvane"), kScmOk);
  EXPECT_EQ(manager_->Delete("Corvane"), kErrorServiceDoesNotExist);
  EXPECT_EQ(manager_->QueryStatus("Corvane", status), kErrorServiceDoesNotExist);
}

TEST_F(ServiceManagerTest, StatusFollowsTheRecordedProcess) {
  ASSERT_EQ(manager_->Create({"Svc", "/bin/true", {}, {}}), kScmOk);
  ServiceStatus status;
  // A live process (this one) that reported running is running.
  ASSERT_EQ(manager_->ReportStatus("Svc", ServiceState::kRunning, ::getpid()), kScmOk);
  ASSERT_EQ(manager_->QueryStatus("Svc", status), kScmOk);
  EXPECT_EQ(status.state, ServiceState::kRunning);
  EXPECT_EQ(manager_->Start("Svc", clock_), kErrorServiceAlreadyRunning);
  // A recorded process that is gone counts as stopped.
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  ASSERT_EQ(manager_->ReportStatus("Svc", ServiceState::kRunning, gone), kScmOk);
  ASSERT_EQ(manager_->QueryStatus("Svc", status), kScmOk);
  EXPECT_EQ(status.state, ServiceState::kStopped);
  EXPECT_EQ(manager_->Stop("Svc"), kErrorServiceNotActive);
}

TEST_F(ServiceManagerTest, ProgramThatNeverReportsRunningFailsToStart) {
  ASSERT_EQ(manager_->Create({"Svc", "/bin/true", {}, {}}), kScmOk);
  EXPECT_EQ(manager_->Start("Svc", clock_), kErrorServiceRequestTimeout);
  EXPECT_LE(clock_.slept(), std::chrono::seconds(30));
}

TEST(ServiceManagerOpenTest, UnusableRegistryIsAccessDenied) {
  std::optional<ServiceManager> manager;
  EXPECT_EQ(ServiceManager::Open("/proc/corvane-no-such", manager), kErrorAccessDenied);
  EXPECT_FALSE(manager);
}

}  // namespace
}  // namespace corvane::platform
