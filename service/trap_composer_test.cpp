#include "service/trap_composer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/clock/date_time.h"
#include "platform/clock/simulated_clock.h"
#include "service/fake_snmp_agent.h"

namespace corvane::service {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct Entry {
  std::string where;
  std::string text;
  EntryType type;
  bool operator==(const Entry&) const = default;
};

class TrapComposerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx_.snmp_agent = &agent_;
    ctx_.state.TrapsAllowed = true;
    ctx_.state.ServiceStartTime = clock_.Now() - 30 * 24h;
    ctx_.state.settings.NmsIpAddr = "127.0.0.1";
    ctx_.state.settings.NmsPort = 1162;
    ctx_.state.settings.SourceIpAddr = "10.1.2.3";
    ctx_.write_app_event = [this](std::string_view module, std::string_view procedure, std::string_view text,
                                  EntryType type) {
      entries_.push_back({std::string(module) + "_" + std::string(procedure), std::string(text), type});
    };
  }

  static std::vector<std::string> Describe(const platform::SnmpTrapMessage& message) {
    std::vector<std::string> lines;
    for (const auto& v : message.Variables()) {
      lines.push_back(v.ObjectId() + " " + std::to_string(v.TypeCode()) + " " + v.Value());
    }
    return lines;
  }

  platform::SimulatedClock clock_{*platform::MakeLocalTime(2026, 12, 11, 10, 0, 0)};
  ServiceContext ctx_{clock_};
  FakeSnmpAgent agent_;
  std::vector<Entry> entries_;
};

TEST(NumericValueTest, LeadingNumberOrZero) {
  const struct {
    const char* text;
    const char* value;
  } cases[] = {
      {"10233", "10233"}, {"", "0"},   {"12abc", "12"}, {"  42", "42"}, {"\t7 - x", "7"}, {"abc", "0"},
      {"-7", "-7"},       {"+3", "3"}, {"007", "7"},    {"-0", "0"},    {"-", "0"},       {"1 2", "1"},
  };
  for (const auto& c : cases) EXPECT_EQ(NumericValue(c.text), c.value) << '"' << c.text << '"';
}

TEST(TrapTimeStampTest, HundredthsOfWholeSecondsCapped) {
  const platform::TimePoint start = *platform::MakeLocalTime(2026, 1, 1);
  const struct {
    platform::Duration since;
    int64_t stamp;
  } cases[] = {
      {30 * 24h, 259200000},
      {1999ms, 100},
      {21474836s, 2147483600},
      {21474837s, 2147483647},
      {249 * 24h, 2147483647},  // about 248.5 days is the limit
      {-5s, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(TrapTimeStamp(start, start + c.since), c.stamp) << c.since.count();
}

TEST(FirstCharactersTest, CountsCharactersNotBytes) {
  EXPECT_EQ(FirstCharacters(std::string(300, 'x'), 240), std::string(240, 'x'));
  EXPECT_EQ(FirstCharacters("short", 240), "short");
  std::string accented;
  for (int i = 0; i < 300; ++i) accented += "\xC3\xA9";
  EXPECT_EQ(FirstCharacters(accented, 240), accented.substr(0, 480));
}

TEST_F(TrapComposerTest, EventTrapCarriesTheElevenVariablesThenPauses) {
  EventRecord event{"Application",
                    "10233",
                    "2026-12-11 09:05:07",
                    "2 - Warning",
                    "Demo-Provider",
                    "",
                    "100",
                    "S-1-5-18",
                    "HOST01",
                    "Disk \xC3\xA9t\xC3\xA9 full\r\nline two"};
  SendTrap(ctx_, event, 3);
  EXPECT_THAT(agent_.calls, ElementsAre("endpoint close", "endpoint destination 127.0.0.1:1162 0", "send"));
  ASSERT_EQ(agent_.sent.size(), 1u);
  const platform::SnmpTrapMessage& m = agent_.sent[0].message;
  EXPECT_EQ(m.Community(), "tamber");
  EXPECT_EQ(m.Enterprise(), "1.3.6.1.4.1.7365.1.17.2");
  EXPECT_EQ(m.GenericTrap(), 6);
  EXPECT_EQ(m.SpecificTrap(), 1);
  EXPECT_EQ(m.TimeStamp(), 259200000u);
  EXPECT_EQ(m.AgentAddress(), "10.1.2.3");
  EXPECT_THAT(
      Describe(m),
      ElementsAre("1.3.6.1.4.1.7365.1.17.1.1.1 1 10233", "1.3.6.1.4.1.7365.1.17.1.1.2 2 2026-12-11 09:05:07",
                  "1.3.6.1.4.1.7365.1.17.1.1.3 2 Application", "1.3.6.1.4.1.7365.1.17.1.1.4 1 2",
                  "1.3.6.1.4.1.7365.1.17.1.1.5 2 Demo-Provider", "1.3.6.1.4.1.7365.1.17.1.1.6 2 ",
                  "1.3.6.1.4.1.7365.1.17.1.1.7 1 100", "1.3.6.1.4.1.7365.1.17.1.1.8 2 S-1-5-18",
                  "1.3.6.1.4.1.7365.1.17.1.1.9 2 HOST01",
                  "1.3.6.1.4.1.7365.1.17.1.1.10 2 Disk \xC3\xA9t\xC3\xA9 full\r\nline two",
                  "1.3.6.1.4.1.7365.1.17.1.1.11 1 3"));
  EXPECT_EQ(clock_.slept(), 500ms);
  EXPECT_THAT(entries_, IsEmpty());
}

TEST_F(TrapComposerTest, InfoTrapCarriesSixVariablesAndNoPause) {
  SendInfoTrap(ctx_, "modCorvaneSrv", "GetEventLogPsh", std::string(300, 'e'), EntryType::kError);
  ASSERT_EQ(agent_.sent.size(), 1u);
  const platform::SnmpTrapMessage& m = agent_.sent[0].message;
  EXPECT_EQ(m.Enterprise(), "1.3.6.1.4.1.7365.2.1.2");
  EXPECT_EQ(m.SpecificTrap(), 1);
  EXPECT_EQ(m.TimeStamp(), 259200000u);
  EXPECT_THAT(
      Describe(m),
      ElementsAre("1.3.6.1.4.1.7365.2.1.1.1 2 10.1.2.3", "1.3.6.1.4.1.7365.2.1.1.2 2 Corvane",
                  "1.3.6.1.4.1.7365.2.1.1.3 2 modCorvaneSrv", "1.3.6.1.4.1.7365.2.1.1.4 2 GetEventLogPsh",
                  "1.3.6.1.4.1.7365.2.1.1.5 2 " + std::string(240, 'e'), "1.3.6.1.4.1.7365.2.1.1.6 1 1"));
  EXPECT_EQ(clock_.sleep_count(), 0);
}

TEST_F(TrapComposerTest, NothingAtAllWhileTrapsAreNotAllowed) {
  ctx_.state.TrapsAllowed = false;
  SendTrap(ctx_, EventRecord{}, 1);
  SendInfoTrap(ctx_, "frmCorvaneSrv", "dartSvc_State", "Service Stopped", EntryType::kInformation);
  EXPECT_THAT(agent_.calls, IsEmpty());
  EXPECT_EQ(clock_.sleep_count(), 0);
  EXPECT_THAT(entries_, IsEmpty());
}

TEST_F(TrapComposerTest, EventTrapFailuresBecomeSendTrapErrorEntries) {
  agent_.fail_send = "Cannot send the trap: Network is unreachable (10051)";
  SendTrap(ctx_, EventRecord{}, 1);
  // An agent address the agent cannot carry fails before anything is sent;
  // so does a record id beyond a 32-bit INTEGER.
  agent_.fail_send.clear();
  ctx_.state.settings.SourceIpAddr = "";
  SendTrap(ctx_, EventRecord{}, 1);
  ctx_.state.settings.SourceIpAddr = "10.1.2.3";
  EventRecord huge;
  huge.RecordId = "99999999999";
  SendTrap(ctx_, huge, 1);
  EXPECT_THAT(agent_.sent, IsEmpty());
  ASSERT_EQ(entries_.size(), 3u);
  EXPECT_EQ(entries_[0], (Entry{"modCorvaneSrv_SendTrap",
                                "Cannot send the trap: Network is unreachable (10051)", EntryType::kError}));
  EXPECT_EQ(entries_[1], (Entry{"modCorvaneSrv_SendTrap", "Invalid agent address \"\"", EntryType::kError}));
  EXPECT_EQ(entries_[2].where, "modCorvaneSrv_SendTrap");
  EXPECT_THAT(entries_[2].text, ::testing::HasSubstr("99999999999"));
  EXPECT_EQ(clock_.sleep_count(), 0);
  // Failures of the calls do not count towards the error limit.
  EXPECT_EQ(ctx_.state.AgentErrorCount, 0);
  EXPECT_TRUE(ctx_.state.TrapsAllowed);
}

TEST_F(TrapComposerTest, SixthAgentErrorTurnsTrapsOffForGood) {
  const Entry error{"frmCorvaneSrv_snmpAgent_Error", "Error 10054: Connection refused (127.0.0.1:1162)",
                    EntryType::kError};
  for (int i = 0; i < 5; ++i) snmpAgent_Error(ctx_, 10054, "Connection refused (127.0.0.1:1162)");
  EXPECT_TRUE(ctx_.state.TrapsAllowed);
  EXPECT_EQ(ctx_.state.AgentErrorCount, 5);
  EXPECT_EQ(entries_, std::vector<Entry>(5, error));
  entries_.clear();

  snmpAgent_Error(ctx_, 10054, "Connection refused (127.0.0.1:1162)");
  EXPECT_FALSE(ctx_.state.TrapsAllowed);
  EXPECT_THAT(entries_,
              ElementsAre(Entry{"frmCorvaneSrv_snmpAgent_Error",
                                "This may depend on 'Trap receiver does not exist'", EntryType::kWarning},
                          Entry{"frmCorvaneSrv_snmpAgent_Error",
                                "The Snmp Agent will NOT try to send any more traps.", EntryType::kWarning},
                          error));
  entries_.clear();

  // Later notifications are still recorded, but neither count nor warn again.
  snmpAgent_Error(ctx_, 10054, "Connection refused (127.0.0.1:1162)");
  EXPECT_EQ(ctx_.state.AgentErrorCount, 6);
  EXPECT_THAT(entries_, ElementsAre(error));
  SendTrap(ctx_, EventRecord{}, 1);
  EXPECT_THAT(agent_.calls, IsEmpty());
}

}  // namespace
}  // namespace corvane::service
