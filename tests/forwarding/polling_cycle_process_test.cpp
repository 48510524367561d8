// The polling cycle with its real readers: the powershell stand-in started as
// a child process for every log, the event-log store, a real database and
// real files, on a paced virtual clock (a day of polls in a few seconds).

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "common/database/database.h"
#include "common/database/schema.h"
#include "platform/clock/date_time.h"
#include "platform/eventlog/event_log_store.h"
#include "platform/process/paced_clock.h"
#include "platform/system/text_file.h"
#include "service/polling_cycle.h"

namespace corvane::service {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using platform::MakeLocalTime;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class PollingCycleProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* bin = std::getenv("CORVANE_BIN_DIR");
    ASSERT_NE(bin, nullptr);
    std::string name = (fs::temp_directory_path() / "corvane-poll-XXXXXX").string();
    ASSERT_NE(::mkdtemp(name.data()), nullptr);
    folder_ = name;
    for (const char* sub : {"Debug", "Backup", "temp"}) fs::create_directories(folder_ / sub);
    fs::permissions(folder_ / "temp", fs::perms::owner_all);
    ::setenv("CORVANE_EVENTLOG_DIR", (folder_ / "EventLogs").c_str(), 1);
    ::setenv("CORVANE_POWERSHELL", (fs::path(bin) / "powershell").c_str(), 1);
    CreateDatabase(folder_ / "Corvane.mdb", kCurrentSchemaVersion);

    ServiceState& state = context_.state;
    state.AppFolder = folder_;
    state.DbConnectString = DbConnectString(folder_);
    state.PolicyCommand = "Set-ExecutionPolicy Unrestricted -force";
    state.FirstCycle = true;
    state.StoredHour = static_cast<int16_t>(platform::LocalHour(clock_.Now()));
    timer_ = clock_.CreateTimer();
    timer_->SetInterval(5000ms);
    context_.write_app_event = [this](std::string_view module, std::string_view procedure,
                                      std::string_view text, EntryType) {
      entries_.push_back(std::string(module) + "_" + std::string(procedure) + ": " + std::string(text));
    };
    senders_.SendTrap = [this](const EventRecord& e, int16_t rule) {
      sent_.push_back(e.LogName + " " + e.RecordId + " rule " + std::to_string(rule));
      context_.PauseWithEvents(500);  // as the trap composer pauses
    };
  }
  void TearDown() override {
    ::unsetenv("CORVANE_EVENTLOG_DIR");
    ::unsetenv("CORVANE_POWERSHELL");
    fs::remove_all(folder_);
  }

  void Sql(const std::string& statement) {
    Connection db = Connection::Open(context_.state.DbConnectString);
    db.Execute(statement);
  }
  void AddTrapRule(const std::string& log) {
    Sql("INSERT INTO Event_Filter VALUES (1, '" + log +
        "', '<=', '3 - Information', '*', '*', '*', '*', '*', '*', 'Send Trap')");
  }
  int64_t Write(const std::string& log, const std::string& message,
                const std::string& time = "2026-12-11 09:00:00") {
    platform::StoredEvent e;
    e.TimeCreated = time;
    e.LevelDisplayName = "Error";
    e.ProviderName = "Demo";
    e.Id = 100;
    e.UserId = "S-1-5-18";
    e.MachineName = "host01";
    e.Message = message;
    return store_.Append(log, e);
  }
  void Poll() { PollingCycle(context_, *timer_, senders_); }
  // Polls so far: each ends its slot report with an empty line.
  int Polls() {
    const fs::path report = folder_ / "Debug" / "s-lastevtid.txt";
    if (!fs::exists(report)) return 0;
    int n = 0;
    for (const auto& line : platform::ReadTextLines(report)) n += line.empty() ? 1 : 0;
    return n;
  }

  platform::PacedClock clock_{*MakeLocalTime(2026, 12, 11, 10)};
  ServiceContext context_{clock_};
  fs::path folder_;
  platform::EventLogStore store_{""};
  std::unique_ptr<platform::Timer> timer_;
  FilterSenders senders_;
  std::vector<std::string> sent_;
  std::vector<std::string> entries_;

  void UseStore() { store_ = platform::EventLogStore(folder_ / "EventLogs"); }
};

TEST_F(PollingCycleProcessTest, TheFirstPollForwardsOnlyWhatCameAfterItsFirstReading) {
  UseStore();
  AddTrapRule("Application");
  AddTrapRule("System");
  for (int i = 1; i <= 3; ++i) Write("Application", "before the start " + std::to_string(i));
  Write("System", "before the start");

  // An entry that arrives between the first reading (the newest entry of
  // each log) and the main reading of the same poll is forwarded.
  bool written = false;
  clock_.simulated().SetEventProcessor([&] {
    if (!written && context_.state.FirstCycle && context_.state.log_slots[0].LastRecordId == 3) {
      Write("Application", "during the first poll");
      written = true;
    }
  });
  Poll();
  clock_.simulated().SetEventProcessor(nullptr);
  EXPECT_THAT(entries_, IsEmpty());
  EXPECT_TRUE(written);
  EXPECT_THAT(sent_, ElementsAre("Application 4 rule 1"));
  EXPECT_FALSE(context_.state.FirstCycle);
  EXPECT_EQ(timer_->Interval(), kTimerPollInterval);
  EXPECT_EQ(context_.state.log_slots[0].LastRecordId, 4);
  EXPECT_EQ(context_.state.log_slots[1].LastRecordId, 1);

  sent_.clear();
  Write("System", "after the first poll");
  Write("Application", "after the first poll");
  Poll();
  EXPECT_THAT(entries_, IsEmpty());
  EXPECT_THAT(sent_, ElementsAre("Application 5 rule 1", "System 2 rule 2"));
}

TEST_F(PollingCycleProcessTest, ATickDuringALongPollStartsNoSecondPoll) {
  UseStore();
  // Seven logs at about five seconds per reading, read twice at the first
  // poll: it outlasts the one-minute interval, so ticks arrive inside its
  // pauses.
  Sql("DELETE FROM Event_Log");
  for (int k = 0; k < 7; ++k) {
    const std::string log = "Log-" + std::to_string(k);
    Sql("INSERT INTO Event_Log VALUES ('" + log + "')");
    AddTrapRule(log);
    Write(log, "old");
  }
  Sql("UPDATE Settings_General SET SendMaxTraps = 20");
  ServiceState& state = context_.state;
  state.SecondsToNextPoll = 60;
  int ticks_inside = 0;
  int ticks_refused = 0;      // ticks inside a poll whose countdown ran out
  timer_->on_timeout = [&] {  // the form's countdown
    if (state.poll_running) ++ticks_inside;
    state.SecondsToNextPoll -= 30;
    if (state.SecondsToNextPoll > 0) return;
    if (state.poll_running) ++ticks_refused;
    Poll();
  };
  timer_->Start();
  // The first poll comes at the second 5-second tick; writes after it.
  while (Polls() == 0) clock_.simulated().Advance(5s);
  EXPECT_GE(ticks_inside, 2);
  EXPECT_GE(ticks_refused, 1);
  for (int k = 0; k < 7; ++k) Write("Log-" + std::to_string(k), "new");
  // The countdown ran out during the first poll, so the next tick polls.
  clock_.simulated().Advance(30s);
  EXPECT_EQ(Polls(), 2);
  EXPECT_EQ(sent_.size(), 7u);  // each new entry once: no poll ran twice over them
  std::sort(sent_.begin(), sent_.end());
  EXPECT_EQ(std::adjacent_find(sent_.begin(), sent_.end()), sent_.end());
  EXPECT_THAT(entries_, IsEmpty());
}

TEST_F(PollingCycleProcessTest, ASimulatedDay) {
  UseStore();
  ServiceState& state = context_.state;
  AddTrapRule("Application");
  AddTrapRule("System");
  Sql("UPDATE Settings_General SET DropDuplicate = 1, TrapNoEvent = 1, NoEventDays = 3");
  // Application's newest entry is from the 7th: four day boundaries by the
  // 12th. System's is from the 9th: three boundaries, not more than 3.
  Write("Application", "quiet since", "2026-12-07 18:00:00");
  Write("System", "last word", "2026-12-09 01:00:00");
  platform::WriteTextLines(
      folder_ / "Debug" / "AppEventCorvane.txt",
      {"2026-10-14 08:00:00\t3\tm_p\t59 days old at 00:08",
       "2026-10-13 08:00:00\t1\tm_p\t60 days old at 00:08", "continuation of the 60-day entry"});
  platform::WriteTextLines(folder_ / "Backup" / "stray.txt", {"not a backup"});

  clock_.simulated().AdvanceTo(*MakeLocalTime(2026, 12, 11, 23, 58));
  state.StoredHour = 23;
  Poll();  // the first poll, at 23:58
  Write("System", "news at midnight", "2026-12-11 23:59:00");
  Write("System", "news at midnight", "2026-12-11 23:59:30");  // a duplicate
  Poll();
  EXPECT_THAT(sent_, ElementsAre("System 2 rule 2"));
  EXPECT_EQ(state.SentKeyList.count(), 1);
  EXPECT_TRUE(fs::exists(folder_ / "Debug" / "s-snmptraps.txt"));
  EXPECT_THAT(entries_, IsEmpty());

  clock_.simulated().AdvanceTo(*MakeLocalTime(2026, 12, 12, 0, 8));
  Poll();
  EXPECT_THAT(entries_, ElementsAre("frmCorvaneSrv_timer1: No New Entries in Log: Application For 3 "
                                    "Days (possible due to corrupt log)"));
  EXPECT_EQ(platform::ReadTextLines(folder_ / "Debug" / "AppEventCorvane.txt"),
            std::vector<std::string>{"2026-10-14 08:00:00\t3\tm_p\t59 days old at 00:08"});
  for (const char* file : {"s-lastevtid.txt", "s-snmptraps.txt", "s-syslog.txt"}) {
    EXPECT_FALSE(fs::exists(folder_ / "Debug" / file)) << file;
  }
  EXPECT_EQ(state.SentKeyList.count(), 0);
  EXPECT_FALSE(fs::exists(folder_ / "Backup" / "stray.txt"));
  EXPECT_TRUE(fs::exists(folder_ / "Backup" / "Corvane.mdb"));

  // The next day the same event goes out again; the daily work does not.
  Write("System", "news at midnight", "2026-12-12 00:09:00");
  clock_.simulated().Sleep(10min);
  Poll();
  EXPECT_THAT(sent_, ElementsAre("System 2 rule 2", "System 4 rule 2"));
  EXPECT_EQ(entries_.size(), 1u);
  EXPECT_EQ(platform::ReadTextLines(folder_ / "Debug" / "s-snmptraps.txt").size(), 1u);
}

}  // namespace
}  // namespace corvane::service
