#include "service/polling_cycle.h"

#include <gmock/gmock.h>

#include "common/database/database.h"
#include "common/database/schema.h"
#include "platform/system/text_file.h"
#include "service/test_support.h"

namespace corvane::service {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using platform::MakeLocalTime;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class PollingCycleTest : public testing::ServiceFixture {
 protected:
  PollingCycleTest() : ServiceFixture(*MakeLocalTime(2026, 12, 11, 23, 58)) {
    CreateDatabase(folder / "Corvane.mdb", kCurrentSchemaVersion);
    context.state.DbConnectString = DbConnectString(folder);
    timer = clock.CreateTimer();
  }

  void Execute(const std::string& sql) {
    Connection db = Connection::Open(context.state.DbConnectString);
    db.Execute(sql);
  }
  void Poll() { PollingCycle(context, *timer, senders); }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& e : entries) texts.push_back(e.procedure + ": " + e.text);
    return texts;
  }

  std::unique_ptr<platform::Timer> timer;
  FilterSenders senders;
};

TEST_F(PollingCycleTest, TheFirstPollAfterMidnightRunsTheDailyWorkOnce) {
  ServiceState& state = context.state;
  state.FirstCycle = false;
  state.StoredHour = 23;
  // Application has been silent since the 7th (4 day boundaries by the
  // 12th), System since the 9th (3 boundaries): only Application is over 3.
  state.log_slots[0] = {"Application", 10, *MakeLocalTime(2026, 12, 7, 18)};
  state.log_slots[1] = {"System", 20, *MakeLocalTime(2026, 12, 9, 1)};
  platform::WriteTextLines(debug() / "AppEventCorvane.txt",
                           {"2026-10-14 08:00:00\t3\tm_p\t59 days old at 00:08",
                            "2026-10-13 08:00:00\t3\tm_p\t60 days old at 00:08"});
  for (const char* name : {"s-snmptraps.txt", "s-syslog.txt"}) {
    platform::WriteTextLines(debug() / name, {"yesterday"});
  }
  platform::WriteTextLines(folder / "Backup" / "stray.txt", {"not a backup"});
  ASSERT_TRUE(state.SentKeyList.Remember("sent yesterday"));

  Poll();  // 23:58
  EXPECT_TRUE(entries.empty()) << Texts()[0];
  EXPECT_TRUE(fs::exists(debug() / "s-snmptraps.txt"));
  EXPECT_TRUE(fs::exists(debug() / "s-lastevtid.txt"));
  EXPECT_EQ(state.SentKeyList.count(), 1);
  EXPECT_EQ(platform::ReadTextLines(debug() / "AppEventCorvane.txt").size(), 2u);

  clock.Sleep(10min);  // 00:08
  Poll();
  EXPECT_THAT(Texts(), ElementsAre("timer1: No New Entries in Log: Application For 3 Days "
                                   "(possible due to corrupt log)"));
  EXPECT_EQ(entries[0].module, "frmCorvaneSrv");
  EXPECT_EQ(entries[0].type, EntryType::kInformation);
  EXPECT_EQ(platform::ReadTextLines(debug() / "AppEventCorvane.txt"),
            std::vector<std::string>{"2026-10-14 08:00:00\t3\tm_p\t59 days old at 00:08"});
  for (const char* name : {"s-lastevtid.txt", "s-snmptraps.txt", "s-syslog.txt"}) {
    EXPECT_FALSE(fs::exists(debug() / name)) << name;
  }
  EXPECT_EQ(state.SentKeyList.count(), 0);
  EXPECT_FALSE(state.SentKeyList.IsSent("sent yesterday"));
  EXPECT_FALSE(fs::exists(folder / "Backup" / "stray.txt"));
  EXPECT_TRUE(fs::exists(folder / "Backup" / "Corvane.mdb"));
  EXPECT_EQ(state.StoredHour, 0);

  // Later polls of the same day do not run it again.
  clock.Sleep(30min);
  Poll();
  EXPECT_EQ(entries.size(), 1u);
  EXPECT_TRUE(fs::exists(debug() / "s-lastevtid.txt"));
}

TEST_F(PollingCycleTest, ReloadsSettingsAndSlots) {
  ServiceState& state = context.state;
  state.settings.ProgVersion = "2.22";
  state.log_slots[0] = {"Application", 10, {}};
  state.log_slots[1] = {"System", 20, {}};
  state.log_slots[2] = {"Removed", 30, {}};
  state.FirstCycle = false;
  Execute("UPDATE Settings_General SET LogCheckInterval = 7, SendMaxTraps = 3");
  Execute("DELETE FROM Event_Log");
  Execute("INSERT INTO Event_Log VALUES ('System')");
  Poll();
  EXPECT_TRUE(entries.empty()) << Texts()[0];
  EXPECT_EQ(state.SecondsToNextPoll, 420);
  EXPECT_EQ(state.settings.SendMaxTraps, 3);
  EXPECT_EQ(state.settings.ProgVersion, "2.22");
  // The state belongs to the position: slot 1 now names System but keeps
  // what it knew of Application until a pass replaces it.
  EXPECT_EQ(state.log_slots[0].Log, "System");
  EXPECT_EQ(state.log_slots[0].LastRecordId, 10);
  EXPECT_EQ(state.log_slots[1].Log, "");
  EXPECT_EQ(state.log_slots[2].Log, "");
}

TEST_F(PollingCycleTest, FailuresEndThePollWithAnEntry) {
  context.state.StoredHour = 23;
  std::string insert = "INSERT INTO Event_Log VALUES ('L0')";
  for (int i = 1; i < 24; ++i) insert += ", ('L" + std::to_string(i) + "')";
  Execute(insert);  // with Application and System: 26 rows
  clock.Sleep(10min);
  Poll();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].module, "frmCorvaneSrv");
  EXPECT_EQ(entries[0].procedure, "timer1");
  EXPECT_EQ(entries[0].type, EntryType::kError);
  EXPECT_THAT(entries[0].text, HasSubstr("25"));
  EXPECT_EQ(context.state.StoredHour, 23);         // the daily work is still due
  EXPECT_EQ(context.state.SecondsToNextPoll, 60);  // the countdown was reset
  EXPECT_FALSE(context.state.poll_running);

  Execute("UPDATE Settings_General SET NoEventDays = NULL");
  Poll();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_THAT(entries[1].text, HasSubstr("Null"));
}

TEST(EntriesPerPollTest, ByInterval) {
  for (int minutes = 0; minutes <= 12; ++minutes) {
    const int expected = (minutes == 1 || minutes == 2)                    ? 100
                         : (minutes >= 3 && minutes <= 5) || minutes == 10 ? 200
                                                                           : 0;
    EXPECT_EQ(EntriesPerPoll(minutes * 60), expected) << minutes;
  }
}

}  // namespace
}  // namespace corvane::service
