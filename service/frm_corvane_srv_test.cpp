#include "service/frm_corvane_srv.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <regex>

#include "common/database/database.h"
#include "common/database/schema.h"
#include "platform/clock/date_time.h"
#include "platform/clock/simulated_clock.h"
#include "platform/scm/scm_error.h"
#include "platform/system/text_file.h"
#include "service/fake_snmp_agent.h"

namespace corvane::service {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class FakeHost : public platform::ServiceHostControl {
 public:
  void Install(std::string_view name, int start_type) override {
    if (fail_with != 0) throw platform::ScmError(fail_with);
    calls.push_back("install " + std::string(name) + " " + std::to_string(start_type));
  }
  void Uninstall(std::string_view name) override {
    if (fail_with != 0) throw platform::ScmError(fail_with);
    calls.push_back("uninstall " + std::string(name));
  }
  void Run() override { calls.push_back("run"); }
  int State() const override { return state; }

  void Raise(int new_state) {
    state = new_state;
    if (on_state) on_state();
  }

  std::vector<std::string> calls;
  int state = 0;
  int fail_with = 0;
};

class FrmCorvaneSrvTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("corvane-srv-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_ / "Debug");
    CreateDatabase(folder_ / "Corvane.mdb", kCurrentSchemaVersion);
  }
  void TearDown() override {
    form_.reset();
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    std::filesystem::remove_all(folder_);
  }

  FrmCorvaneSrv& Form() {
    if (!form_) {
      form_ = std::make_unique<FrmCorvaneSrv>(
          clock_, host_, agent_,
          [this](const platform::MessageBoxRequest& r) { messages_.push_back(r.text); }, folder_);
    }
    return *form_;
  }
  void SetSetting(std::string_view column, FieldValue value) {
    Connection db = Connection::Open(DbConnectString(folder_));
    Recordset rs = Recordset::Open(db, "Settings_General");
    rs.SetField(column, std::move(value));
    rs.Update();
  }
  std::vector<std::string> AppLog() {
    const auto file = folder_ / "Debug" / "AppEventCorvane.txt";
    return std::filesystem::exists(file) ? platform::ReadTextLines(file) : std::vector<std::string>{};
  }
  // The log lines without their date-time column.
  std::vector<std::string> AppLogEntries() {
    std::vector<std::string> entries;
    for (const auto& line : AppLog()) entries.push_back(line.substr(line.find('\t') + 1));
    return entries;
  }
  void Start() {
    ASSERT_EQ(Form().Form_Load(""), std::nullopt);
    host_.Raise(2);
  }

  std::filesystem::path folder_;
  platform::SimulatedClock clock_{*platform::MakeLocalTime(2026, 12, 11, 10, 0, 0)};
  FakeHost host_;
  FakeSnmpAgent agent_;
  std::vector<std::string> messages_;
  std::unique_ptr<FrmCorvaneSrv> form_;
};

TEST_F(FrmCorvaneSrvTest, CommandLineTable) {
  struct Case {
    const char* arguments;
    std::optional<int> exit_status;
    std::vector<std::string> calls;
    std::vector<std::string> messages;
    std::vector<std::string> entries;
  } cases[] = {
      {"", std::nullopt, {"run"}, {}, {}},
      {"-install",
       0,
       {"install Corvane 1"},
       {"Corvane Service Installed Successfully."},
       {"3\tfrmCorvaneSrv_Form_Load\tService Installed"}},
      {"-installX",
       0,
       {"install Corvane 1"},
       {"Corvane Service Installed Successfully."},
       {"3\tfrmCorvaneSrv_Form_Load\tService Installed"}},
      {"-install_noMsg", 0, {"install Corvane 1"}, {}, {"3\tfrmCorvaneSrv_Form_Load\tService Installed"}},
      {"-uninstall",
       0,
       {"uninstall Corvane"},
       {"Corvane Service Uninstalled Successfully."},
       {"3\tfrmCorvaneSrv_Form_Load\tService Uninstalled"}},
      {"-INSTALL", 1, {}, {"Invalid command option."}, {}},
      {"-uninstallX", 1, {}, {"Invalid command option."}, {}},
      {"start", 1, {}, {"Invalid command option."}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    form_.reset();
    host_.calls.clear();
    messages_.clear();
    std::filesystem::remove(folder_ / "Debug" / "AppEventCorvane.txt");
    EXPECT_EQ(Form().Form_Load(c.arguments), c.exit_status);
    EXPECT_EQ(host_.calls, c.calls);
    EXPECT_EQ(messages_, c.messages);
    EXPECT_EQ(AppLogEntries(), c.entries);
  }
}

TEST_F(FrmCorvaneSrvTest, InstallWithoutDatabaseInstallsNothing) {
  std::filesystem::remove(folder_ / "Corvane.mdb");
  EXPECT_EQ(Form().Form_Load("-install"), 1);
  EXPECT_THAT(host_.calls, IsEmpty());
  EXPECT_THAT(messages_, ElementsAre("Corvane.mdb does not exits."));
}

TEST_F(FrmCorvaneSrvTest, FailedInstallIsReportedAndLogged) {
  host_.fail_with = platform::kErrorServiceExists;
  EXPECT_EQ(Form().Form_Load("-install_noMsg"), 1);
  EXPECT_THAT(messages_, ElementsAre("Corvane Service Failed To Install."));
  EXPECT_THAT(AppLogEntries(),
              ElementsAre("1\tfrmCorvaneSrv_Form_Load\tThe specified service already exists."));
  form_.reset();
  messages_.clear();
  EXPECT_EQ(Form().Form_Load("-uninstall"), 1);
  EXPECT_THAT(messages_, ElementsAre("Corvane Service Failed To Uninstall."));
}

TEST_F(FrmCorvaneSrvTest, SecondInstanceIsRefusedWhateverItsArguments) {
  ASSERT_EQ(Form().Form_Load(""), std::nullopt);
  for (const char* arguments : {"", "-install", "-uninstall"}) {
    FakeHost other_host;
    FakeSnmpAgent other_agent;
    std::vector<std::string> other_messages;
    FrmCorvaneSrv second(
        clock_, other_host, other_agent,
        [&](const platform::MessageBoxRequest& r) { other_messages.push_back(r.text); }, folder_);
    EXPECT_EQ(second.Form_Load(arguments), 1);
    EXPECT_THAT(other_messages, ElementsAre("The Corvane Service is already running."));
    EXPECT_THAT(other_host.calls, IsEmpty());
  }
}

TEST_F(FrmCorvaneSrvTest, StartSequenceClearsDebugFilesAndLogsTheStart) {
  for (const char* name : {"s-logevent.txt", "s-lastevtid.txt", "s-", "keep.txt", "c-logevent.txt"}) {
    std::ofstream(folder_ / "Debug" / name) << "x";
  }
  Start();
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(folder_ / "Debug")) {
    left.push_back(entry.path().filename().string());
  }
  std::sort(left.begin(), left.end());
  EXPECT_THAT(left, ElementsAre("AppEventCorvane.txt", "c-logevent.txt", "keep.txt"));

  const auto log = AppLog();
  ASSERT_EQ(log.size(), 1u);
  // The start's pause of one second comes before the time is taken.
  EXPECT_EQ(log[0], "2026-12-11 10:00:01\t3\tfrmCorvaneSrv_dartSvc_State\tService Started, Version 2.22");
  EXPECT_EQ(platform::ReadWholeFile(folder_ / "Debug" / "AppEventCorvane.txt").back(), '\n');
  const ServiceState& state = Form().context().state;
  EXPECT_TRUE(state.TrapsAllowed);
  EXPECT_TRUE(state.FirstCycle);
  EXPECT_EQ(state.SecondsToNextPoll, 60);
  EXPECT_EQ(state.StoredHour, 10);
  EXPECT_EQ(state.PolicyCommand, "Set-ExecutionPolicy Unrestricted -force");
  EXPECT_EQ(state.ServiceStartTime, *platform::MakeLocalTime(2026, 12, 11, 10, 0, 1));
  EXPECT_TRUE(Form().timer1().IsActive());
  // The pauses: 1000 ms in the sequence, 500 ms after the log line.
  EXPECT_EQ(clock_.slept(), 1500ms);
  // The agent is opened before the start's entry goes out as an information trap.
  EXPECT_THAT(agent_.calls,
              ElementsAre("open", "endpoint close", "endpoint destination 127.0.0.1:162 0", "send"));
  ASSERT_EQ(agent_.sent.size(), 1u);
  const auto& variables = agent_.sent[0].message.Variables();
  ASSERT_EQ(variables.size(), 6u);
  EXPECT_EQ(variables[4].Value(), "Service Started, Version 2.22");
  EXPECT_EQ(agent_.sent[0].message.TimeStamp(), 0u);
}

TEST_F(FrmCorvaneSrvTest, InformationTrapCutsTheTextTheLogKeepsWhole) {
  Start();
  const std::string text = std::string(299, 'x') + "!";
  clock_.Sleep(30 * 24h);
  Form().WriteAppEvent("modCorvaneSrv", "FilterTest", text, EntryType::kError);
  EXPECT_EQ(AppLogEntries().back(), "1\tmodCorvaneSrv_FilterTest\t" + text);
  ASSERT_EQ(agent_.sent.size(), 2u);
  const auto& trap = agent_.sent[1].message;
  EXPECT_EQ(trap.Variables()[4].Value(), std::string(240, 'x'));
  EXPECT_EQ(trap.Variables()[5].Value(), "1");
  // Sent after the entry's pause: 30 days and two half-second pauses after the start.
  EXPECT_EQ(trap.TimeStamp(), 259200000u + 100u);
}

TEST_F(FrmCorvaneSrvTest, AgentErrorsEndTrapsAfterTheSixth) {
  Start();
  for (int i = 0; i < 6; ++i) agent_.Raise(10054, "Connection refused by the trap receiver (127.0.0.1:162)");
  const auto entries = AppLogEntries();
  ASSERT_EQ(entries.size(), 1u + 5 + 3);
  EXPECT_EQ(entries[1],
            "1\tfrmCorvaneSrv_snmpAgent_Error\tError 10054: Connection refused by the trap "
            "receiver (127.0.0.1:162)");
  EXPECT_EQ(entries[6],
            "2\tfrmCorvaneSrv_snmpAgent_Error\tThis may depend on 'Trap receiver does not exist'");
  EXPECT_EQ(entries[7],
            "2\tfrmCorvaneSrv_snmpAgent_Error\tThe Snmp Agent will NOT try to send any more traps.");
  EXPECT_EQ(entries[8], entries[1]);
  // The start and the first five error entries went out as traps; nothing after.
  EXPECT_EQ(agent_.sent.size(), 6u);
  host_.Raise(0);
  EXPECT_EQ(agent_.sent.size(), 6u);
  EXPECT_EQ(AppLogEntries().back(), "3\tfrmCorvaneSrv_dartSvc_State\tService Stopped");
}

TEST_F(FrmCorvaneSrvTest, StartSequenceReadsThePolicyLineFromTheIni) {
  std::ofstream(folder_ / "Corvane.ini") << "[Psh]\r\nSet-ExecutionPolicy RemoteSigned -force \r\n";
  Start();
  EXPECT_EQ(Form().context().state.PolicyCommand, "Set-ExecutionPolicy RemoteSigned -force");
}

TEST_F(FrmCorvaneSrvTest, SecondRunningNotificationDoesNothing) {
  Start();
  SetSetting("LogCheckInterval", 10);
  SetSetting("ProgVersion", "9.99");
  host_.Raise(2);
  EXPECT_EQ(AppLog().size(), 1u);
  EXPECT_EQ(Form().context().state.settings.LogCheckInterval, 60);
}

TEST_F(FrmCorvaneSrvTest, FailedStartIsLoggedAndLeavesTheTimerOff) {
  SetSetting("NmsIpAddr", nullptr);
  Start();
  EXPECT_THAT(
      AppLogEntries(),
      ElementsAre("1\tfrmCorvaneSrv_dartSvc_State\tInvalid use of Null (Settings_General.NmsIpAddr)"));
  EXPECT_FALSE(Form().timer1().IsActive());
  EXPECT_FALSE(Form().context().state.TrapsAllowed);
}

TEST_F(FrmCorvaneSrvTest, OtherStatesAreOnlyRecorded) {
  Start();
  const auto slept = clock_.slept();
  host_.Raise(1);
  host_.Raise(3);
  host_.Raise(7);
  host_.Raise(0);
  const auto entries = AppLogEntries();
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[1], "3\tfrmCorvaneSrv_dartSvc_State\tPause Not Implemented");
  EXPECT_EQ(entries[2], "3\tfrmCorvaneSrv_dartSvc_State\tResume Not Implemented");
  EXPECT_EQ(entries[3], "3\tfrmCorvaneSrv_dartSvc_State\tService Stopped");
  // Three log lines of 500 ms each, and the 2-second pause of the stop.
  EXPECT_EQ(clock_.slept() - slept, 3500ms);
}

TEST_F(FrmCorvaneSrvTest, CountdownGivesTheFirstPoll) {
  // Interval 1 minute: the first poll at the second 5-second tick; 10
  // minutes: at the twentieth. The poll switches the timer to 30 seconds.
  for (const auto& [minutes, seconds_to_poll] : {std::pair{1, 10}, std::pair{10, 100}}) {
    SCOPED_TRACE(minutes);
    form_.reset();
    SetSetting("LogCheckInterval", minutes);
    Start();
    const auto started = clock_.Now();
    // The poll runs inside the tick and takes its own time; note when the
    // tick that starts it fires.
    std::optional<platform::TimePoint> poll_at;
    auto tick = Form().timer1().on_timeout;
    Form().timer1().on_timeout = [&, tick] {
      if (!poll_at && Form().context().state.SecondsToNextPoll <= 30) poll_at = clock_.Now();
      tick();
    };
    while (Form().timer1().Interval() == kTimerFirstInterval && clock_.Now() - started < 1h) {
      clock_.Advance(1s);
    }
    ASSERT_TRUE(poll_at);
    // The timer starts with ServiceStartTime, before the start's log line.
    EXPECT_EQ(*poll_at - Form().context().state.ServiceStartTime, std::chrono::seconds(seconds_to_poll));
    EXPECT_EQ(Form().timer1().Interval(), 30000ms);
  }
}

TEST_F(FrmCorvaneSrvTest, MissingDebugFolderLosesEntriesSilently) {
  std::filesystem::remove_all(folder_ / "Debug");
  Start();
  EXPECT_TRUE(Form().timer1().IsActive());
  EXPECT_FALSE(std::filesystem::exists(folder_ / "Debug"));
}

}  // namespace
}  // namespace corvane::service
