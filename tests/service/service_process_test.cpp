// The service through real processes: installed, started, queried, stopped
// and removed with the service-manager stand-in, as an administrator would.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

#include "common/database/database.h"
#include "platform/system/text_file.h"
#include "tests/snmp/loopback.h"
#include "tests/support/run_command.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

using corvane::testing::CommandResult;
using corvane::testing::Q;
using corvane::testing::RunCommand;

bool Zombie(int pid) {
  std::string stat;
  try {
    stat = corvane::platform::ReadWholeFile("/proc/" + std::to_string(pid) + "/stat");
  } catch (const std::exception&) {
    return true;  // gone between the two looks
  }
  const auto paren = stat.rfind(')');
  return paren != std::string::npos && paren + 2 < stat.size() && stat[paren + 2] == 'Z';
}

class ServiceProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* bin = std::getenv("CORVANE_BIN_DIR");
    ASSERT_NE(bin, nullptr);
    bin_ = bin;
    root_ = fs::temp_directory_path() / ("corvane-process-" + std::to_string(::getpid()));
    fs::remove_all(root_);
    app_ = root_ / "app";
    fs::create_directories(app_ / "Debug");
    fs::create_directories(app_ / "Backup");
    fs::copy_file(bin_ / "CorvaneSrv", app_ / "CorvaneSrv");
    ASSERT_EQ(RunCommand(Q(bin_ / "corvane-db") + " create " + Q(app_ / "Corvane.mdb")).exit_status, 0);
    // The service's traps go to a receiver of the test's own.
    const uint16_t trap_port = corvane::testing::FreeConfigurablePort();
    ASSERT_NE(trap_port, 0);
    trap_receiver_ = std::make_unique<corvane::testing::Receiver>(trap_port);
    corvane::Connection db = corvane::Connection::Open(corvane::DbConnectString(app_));
    corvane::Recordset settings = corvane::Recordset::Open(db, "Settings_General");
    settings.SetField("NmsPort", static_cast<int>(trap_port));
    settings.Update();
    ::setenv("CORVANE_SCM_DIR", (root_ / "scm").c_str(), 1);
  }
  void TearDown() override {
    RunCommand(Sc("stop Corvane"));
    WaitFor([&] { return RunCommand(Sc("query Corvane")).output.find("RUNNING") == std::string::npos; });
    RunCommand(Sc("delete Corvane"));
    ::unsetenv("CORVANE_SCM_DIR");
    fs::remove_all(root_);
  }

  std::string Sc(const std::string& arguments) { return Q(bin_ / "corvane-sc") + " " + arguments; }
  std::string AppLog() {
    const auto file = app_ / "Debug" / "AppEventCorvane.txt";
    return fs::exists(file) ? corvane::platform::ReadWholeFile(file) : "";
  }
  // Real processes take real time; the waits are bounded and short.
  template <typename Condition>
  static bool WaitFor(Condition condition) {
    return corvane::testing::WaitFor(condition, std::chrono::seconds(10));
  }

  // Waits, bounded, for a datagram holding `text`.
  bool TrapHolds(const std::string& text) {
    for (int i = 0; i < 25; ++i) {
      const auto datagram = trap_receiver_->Receive();
      if (std::string(datagram.begin(), datagram.end()).find(text) != std::string::npos) return true;
    }
    return false;
  }

  fs::path bin_, root_, app_;
  std::unique_ptr<corvane::testing::Receiver> trap_receiver_;
};

TEST_F(ServiceProcessTest, InstallStartStopUninstall) {
  const CommandResult install = RunCommand(Q(app_ / "CorvaneSrv") + " -install_noMsg");
  ASSERT_EQ(install.exit_status, 0) << install.output;
  EXPECT_EQ(install.output, "");
  EXPECT_THAT(AppLog(), HasSubstr("\t3\tfrmCorvaneSrv_Form_Load\tService Installed\r\n"));

  const CommandResult start = RunCommand(Sc("start Corvane"));
  ASSERT_EQ(start.exit_status, 0) << start.output;
  const std::string query = RunCommand(Sc("query Corvane")).output;
  EXPECT_THAT(query, HasSubstr("RUNNING"));
  const int pid = std::atoi(query.substr(query.find(':', query.find("PID")) + 1).c_str());
  ASSERT_GT(pid, 0) << query;
  ASSERT_TRUE(WaitFor([&] { return AppLog().find("Service Started, Version 2.22") != std::string::npos; }))
      << AppLog();
  EXPECT_TRUE(TrapHolds("Service Started, Version 2.22"));
  EXPECT_EQ(RunCommand(Sc("start Corvane")).exit_status, 1);

  // A second copy of the program refuses to run while the service runs.
  const CommandResult second = RunCommand(Q(app_ / "CorvaneSrv") + " -install");
  EXPECT_EQ(second.exit_status, 1);
  EXPECT_THAT(second.output, HasSubstr("The Corvane Service is already running."));

  ASSERT_EQ(RunCommand(Sc("stop Corvane")).exit_status, 0);
  ASSERT_TRUE(
      WaitFor([&] { return RunCommand(Sc("query Corvane")).output.find("STOPPED") != std::string::npos; }));
  EXPECT_THAT(AppLog(), HasSubstr("\t3\tfrmCorvaneSrv_dartSvc_State\tService Stopped\r\n"));
  // The manager's child was reparented; the zombie, if nobody reaps it,
  // counts as ended.
  EXPECT_TRUE(WaitFor([&] { return ::kill(pid, 0) != 0 || Zombie(pid); }))
      << "the service process did not end";
  EXPECT_EQ(RunCommand(Sc("stop Corvane")).exit_status, 1);

  const CommandResult uninstall = RunCommand(Q(app_ / "CorvaneSrv") + " -uninstall");
  EXPECT_EQ(uninstall.exit_status, 0) << uninstall.output;
  EXPECT_THAT(uninstall.output, HasSubstr("Corvane Service Uninstalled Successfully."));
  const CommandResult gone = RunCommand(Sc("query Corvane"));
  EXPECT_EQ(gone.exit_status, 1);
  EXPECT_THAT(gone.output, HasSubstr("1060"));
}

TEST_F(ServiceProcessTest, CommandLineRefusals) {
  const CommandResult invalid = RunCommand(Q(app_ / "CorvaneSrv") + " -INSTALL");
  EXPECT_EQ(invalid.exit_status, 1);
  EXPECT_THAT(invalid.output, HasSubstr("Invalid command option."));
  fs::remove(app_ / "Corvane.mdb");
  const CommandResult no_db = RunCommand(Q(app_ / "CorvaneSrv") + " -install");
  EXPECT_EQ(no_db.exit_status, 1);
  EXPECT_THAT(no_db.output, HasSubstr("Corvane.mdb does not exits."));
  EXPECT_EQ(RunCommand(Sc("query Corvane")).exit_status, 1);
}

}  // namespace
