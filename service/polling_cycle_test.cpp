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
  // At an interval outside the table nothing is read: the event file holds
  // only its header.
  EXPECT_EQ(platform::ReadTextLines(debug() / "s-logevent.txt").size(), 1u);
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
