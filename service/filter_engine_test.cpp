#include "service/filter_engine.h"

#include <gmock/gmock.h>

#include "common/database/database.h"
#include "common/database/schema.h"
#include "platform/system/text_file.h"
#include "service/test_support.h"

namespace corvane::service {
namespace {

namespace fs = std::filesystem;
using platform::MakeLocalTime;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

struct Rule {
  std::string log = "System";
  std::string severity_exp = "<=";
  std::string severity = "3 - Information";
  std::string source = "*";
  std::string category = "*";
  std::string event_id = "*";
  std::string user = "*";
  std::string computer = "*";
  std::string message = "*";
  std::string action = "Send Trap";
  bool enabled = true;
};

struct Sent {
  std::string what;  // "trap <rule> <record id>" or "syslog <source>"
  bool operator==(const Sent&) const = default;
};

class FilterEngineTest : public testing::ServiceFixture {
 protected:
  FilterEngineTest() {
    CreateDatabase(folder / "Corvane.mdb", kCurrentSchemaVersion);
    context.state.DbConnectString = DbConnectString(folder);
    context.state.settings.SendMaxTraps = 10;
    context.state.settings.DropDupMess = "Whole String Equal";
    context.state.log_slots[0].Log = "System";
    context.state.log_slots[1].Log = "Application";
    senders.SendTrap = [this](const EventRecord& e, int16_t rule) {
      sent.push_back("trap " + std::to_string(rule) + " " + e.RecordId);
    };
    senders.SendSyslog = [this](const std::string&, const std::string& source, const std::string&) {
      sent.push_back("syslog " + source);
    };
  }

  void AddRule(const Rule& r) {
    Connection db = Connection::Open(context.state.DbConnectString);
    Recordset rs = Recordset::Open(db, "Event_Filter");
    rs.AddNew();
    rs.SetField("Enabled", r.enabled);
    rs.SetField("Log", r.log);
    rs.SetField("SeverityExp", r.severity_exp);
    rs.SetField("Severity", r.severity);
    rs.SetField("Source", r.source);
    rs.SetField("Category", r.category);
    rs.SetField("EventID", r.event_id);
    rs.SetField("UserName", r.user);
    rs.SetField("Computer", r.computer);
    rs.SetField("Message", r.message);
    rs.SetField("Action", r.action);
    rs.Update();
  }

  static std::string Line(const std::string& log, int id, const std::string& level = "1 - Error",
                          const std::string& source = "Disk", const std::string& message = "m ",
                          const std::string& time = "2026-12-11 09:00:00") {
    return log + '\t' + std::to_string(id) + '\t' + time + '\t' + level + '\t' + source +
           "\tn/a\t7\tS-1-5-18\thost01\t" + message;
  }
  void WriteEvents(const std::vector<std::string>& lines, const char* name = "s-logevent.txt") {
    std::vector<std::string> file = {
        "LogName\tRecordId\tTimeCreated\tLevel\tSource\tCategory\tEventID\tUserName\tMachineName"
        "\tMessage"};
    file.insert(file.end(), lines.begin(), lines.end());
    platform::WriteTextLines(debug() / name, file);
  }
  void Run() { FilterTest(context, senders); }
  LogSlot& slot(int k) { return context.state.log_slots[k]; }

  FilterSenders senders;
  std::vector<std::string> sent;
};

TEST_F(FilterEngineTest, FirstRuleOfTheLogWinsAndNoneHoldsBack) {
  AddRule({.log = "Application"});
  AddRule({.source = "Disk*", .action = "None"});
  AddRule({.action = "Send Trap"});
  AddRule({.action = "Send Syslog"});  // sees only what the rules above let through
  AddRule({.enabled = false});
  WriteEvents({Line("System", 1, "1 - Error", "Disk"), Line("System", 2, "1 - Error", "Tcpip"),
               Line("System", 3, "2 - Warning", "DiskQuota"), "too\tfew\ttabs", Line("Security", 4)});
  Run();
  EXPECT_TRUE(entries.empty());
  EXPECT_THAT(sent, ElementsAre("trap 3 2"));
  EXPECT_EQ(platform::ReadTextLines(debug() / "s-snmptraps.txt").size(), 1u);
  EXPECT_THAT(platform::ReadWholeFile(debug() / "s-snmptraps.txt"), HasSubstr("\tTcpip\t"));
  EXPECT_EQ(slot(0).LastRecordId, 3);
}

TEST_F(FilterEngineTest, OnlyNewEventsAndTheHandOverKeepsWhatItKnows) {
  AddRule({});
  AddRule({.log = "Application"});
  const auto yesterday = *MakeLocalTime(2026, 12, 10, 12);
  slot(0).LastRecordId = 10;
  slot(1) = {"Application", 500, yesterday};  // no entries read this pass
  slot(2) = {"Setup", 7, yesterday};          // no rule carries this log
  WriteEvents({Line("System", 9), Line("System", 10), Line("System", 11),
               Line("System", 12, "1 - Error", "Disk", "m ", "2026-12-11 09:30:00")});
  Run();
  EXPECT_THAT(sent, ElementsAre("trap 1 11", "trap 1 12"));
  EXPECT_EQ(slot(0).LastRecordId, 12);
  EXPECT_EQ(slot(0).LastEventTime, *MakeLocalTime(2026, 12, 11, 9, 30));
  EXPECT_EQ(slot(1).LastRecordId, 500);
  EXPECT_EQ(slot(1).LastEventTime, yesterday);
  EXPECT_EQ(slot(2).LastRecordId, 7);

  // The next pass over the same entries sends nothing again.
  sent.clear();
  Run();
  EXPECT_TRUE(sent.empty());
}

TEST_F(FilterEngineTest, TrapCapDropsForGoodButSyslogStillGoesOut) {
  context.state.settings.SendMaxTraps = 5;
  AddRule({});
  AddRule({.log = "Application", .action = "Send Trap+Syslog"});
  std::vector<std::string> lines;
  for (int id = 101; id <= 112; ++id) lines.push_back(Line("System", id));
  lines.push_back(Line("Application", 7, "2 - Warning", "App"));
  WriteEvents(lines);
  Run();
  EXPECT_THAT(
      sent, ElementsAre("trap 1 101", "trap 1 102", "trap 1 103", "trap 1 104", "trap 1 105", "syslog App"));
  EXPECT_EQ(slot(0).LastRecordId, 112);  // the seven dropped are not read again
  EXPECT_EQ(platform::ReadTextLines(debug() / "s-snmptraps.txt").size(), 5u);
  EXPECT_EQ(platform::ReadTextLines(debug() / "s-syslog.txt").size(), 1u);

  // Under the cap the same action sends both; the count starts again per pass.
  sent.clear();
  WriteEvents({Line("Application", 8, "2 - Warning", "App")});
  Run();
  EXPECT_THAT(sent, ElementsAre("trap 2 8", "syslog App"));
}

TEST_F(FilterEngineTest, SeverityComparisons) {
  struct Case {
    const char* exp;
    const char* severity;
    std::vector<std::string> caught;  // of the levels 1, 2, 3 in that order
  } cases[] = {
      {"<=", "2 - Warning", {"trap 1 1", "trap 1 2"}},
      {"<=", "3 - Information", {"trap 1 1", "trap 1 2", "trap 1 3"}},
      {">=", "3 - Information", {"trap 1 3"}},
      {">=", "2 - Warning", {"trap 1 2", "trap 1 3"}},
      {"=", "1 - Error", {"trap 1 1"}},
      {"<>", "1 - Error", {}},
      {"", "1 - Error", {}},
  };
  WriteEvents({Line("System", 1, "1 - Error"), Line("System", 2, "2 - Warning"),
               Line("System", 3, "3 - Information")});
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.exp) + " " + c.severity);
    Connection(Connection::Open(context.state.DbConnectString)).Execute("DELETE FROM Event_Filter");
    AddRule({.severity_exp = c.exp, .severity = c.severity});
    slot(0).LastRecordId = 0;
    sent.clear();
    Run();
    EXPECT_EQ(sent, c.caught);
  }
}

TEST_F(FilterEngineTest, PatternsFollowCaseSensitive) {
  AddRule({.source = "service control*",
           .category = "n/a",
           .event_id = "7#",
           .user = "S-1-5-*",
           .computer = "HOST0?",
           .message = "*дисков*"});
  const std::string line =
      "System\t1\t2026-12-11 09:00:00\t1 - Error\tService Control Manager\tn/a\t70\tS-1-5-18"
      "\thost01\tОшибка ДИСКОВОГО массива ";
  WriteEvents({line});
  context.state.settings.CaseSensitive = true;
  Run();
  EXPECT_TRUE(sent.empty());
  context.state.settings.CaseSensitive = false;
  slot(0).LastRecordId = 0;
  Run();
  EXPECT_THAT(sent, ElementsAre("trap 1 1"));
}

TEST_F(FilterEngineTest, UnreadablePatternIsRecordedAndCountsAsMatched) {
  AddRule({.source = "[Disk"});
  WriteEvents({Line("System", 1, "1 - Error", "Tcpip"), Line("System", 2)});
  Run();
  EXPECT_THAT(sent, ElementsAre("trap 1 1", "trap 1 2"));
  ASSERT_EQ(entries.size(), 2u);  // once per event tested against the rule
  EXPECT_EQ(entries[0].module, "modCompareTextSrv");
  EXPECT_EQ(entries[0].procedure, "StringCompareText");
  EXPECT_THAT(entries[0].text, HasSubstr("[Disk"));
}

TEST_F(FilterEngineTest, DuplicatesOfTheDayAreDropped) {
  context.state.settings.DropDuplicate = true;
  AddRule({});
  WriteEvents(
      {Line("System", 1, "1 - Error"), Line("System", 2, "1 - Error"), Line("System", 3, "2 - Warning")});
  Run();
  EXPECT_THAT(sent, ElementsAre("trap 1 1", "trap 1 3"));
  EXPECT_EQ(context.state.SentKeyList.count(), 2);

  // The console turns the rule into a syslog rule: what went out as a trap
  // today is still a duplicate.
  Connection(Connection::Open(context.state.DbConnectString))
      .Execute("UPDATE Event_Filter SET Action = 'Send Syslog'");
  sent.clear();
  WriteEvents({Line("System", 4, "1 - Error"), Line("System", 5, "1 - Error", "Other")});
  Run();
  EXPECT_THAT(sent, ElementsAre("syslog Other"));

  // Trap and syslog remember the key twice.
  Connection(Connection::Open(context.state.DbConnectString))
      .Execute("UPDATE Event_Filter SET Action = 'Send Trap+Syslog'");
  WriteEvents({Line("System", 6, "1 - Error", "Third")});
  Run();
  EXPECT_EQ(context.state.SentKeyList.count(), 5);
}

TEST_F(FilterEngineTest, AFullDuplicateListSendsAndWarnsOncePerDay) {
  context.state.settings.DropDuplicate = true;
  for (int i = 0; i < SentKeyList::kCapacity; ++i) {
    ASSERT_TRUE(context.state.SentKeyList.Remember("earlier " + std::to_string(i)));
  }
  AddRule({});
  WriteEvents({Line("System", 1, "1 - Error", "A"), Line("System", 2, "1 - Error", "B")});
  Run();
  EXPECT_THAT(sent, ElementsAre("trap 1 1", "trap 1 2"));
  EXPECT_EQ(slot(0).LastRecordId, 2);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].procedure, "FilterTest");
  EXPECT_EQ(entries[0].type, EntryType::kWarning);
  WriteEvents({Line("System", 3, "1 - Error", "C")});
  Run();
  EXPECT_EQ(sent.size(), 3u);
  EXPECT_EQ(entries.size(), 1u);
}

TEST_F(FilterEngineTest, TestSwitchReadsTheConsolesFileFromTheStart) {
  AddRule({});
  slot(0).LastRecordId = 50;
  WriteEvents({Line("System", 60)});
  WriteEvents({Line("System", 3)}, "c-logevent.txt");
  platform::WriteTextLines(debug() / "use-c-logevent.txt", {});
  Run();
  EXPECT_THAT(sent, ElementsAre("trap 1 3"));

  // Without the service's own event file there is no pass at all.
  fs::remove(debug() / "s-logevent.txt");
  sent.clear();
  Run();
  EXPECT_TRUE(sent.empty());
  EXPECT_TRUE(entries.empty());
}

TEST_F(FilterEngineTest, FailuresEndThePassWithoutHandOver) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
    const char* text;
  } cases[] = {
      {"26 enabled rules",
       [&] {
         for (int i = 0; i < 25; ++i) AddRule({.log = "Other"});
       },
       "25"},
      {"Null in a rule",
       [&] {
         Connection(Connection::Open(context.state.DbConnectString))
             .Execute("UPDATE Event_Filter SET Message = NULL");
       },
       "Null"},
      {"record id beyond 32 bits",
       [&] {
         WriteEvents({Line("System", 2), "System\t2147483648\t2026-12-11 09:00:00\t1\ta\tb\tc\td\te\tf"});
       },
       "2147483648"},
      {"time that does not convert",
       [&] { WriteEvents({Line("System", 2, "1 - Error", "Disk", "m", "11.12.2026 9:00")}); }, "11.12.2026"},
      {"test switch without the test file",
       [&] { platform::WriteTextLines(debug() / "use-c-logevent.txt", {}); }, "c-logevent.txt"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Connection(Connection::Open(context.state.DbConnectString)).Execute("DELETE FROM Event_Filter");
    fs::remove(debug() / "use-c-logevent.txt");
    AddRule({});
    WriteEvents({Line("System", 2)});
    slot(0).LastRecordId = 1;
    entries.clear();
    sent.clear();
    c.arrange();
    Run();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].module, "modCorvaneSrv");
    EXPECT_EQ(entries[0].procedure, "FilterTest");
    EXPECT_EQ(entries[0].type, EntryType::kError);
    EXPECT_THAT(entries[0].text, HasSubstr(c.text));
    EXPECT_EQ(slot(0).LastRecordId, 1);
  }
}

TEST(SplitEventLineTest, NineTabsSplitAndTheMessageKeepsTheRest) {
  const auto e = SplitEventLine("L\t1\tT\t1 - Error\tS\tC\t7\tU\tM\tpart one\tpart two\t");
  ASSERT_TRUE(e);
  EXPECT_EQ(e->LogName, "L");
  EXPECT_EQ(e->MachineName, "M");
  EXPECT_EQ(e->Message, "part one\tpart two\t");
  EXPECT_TRUE(SplitEventLine("L\t\t\t\t\t\t\t\t\t"));
  EXPECT_FALSE(SplitEventLine("L\t1\tT\t1 - Error\tS\tC\t7\tU\tM"));
}

TEST(RecordIdValueTest, LeadingNumberRounded) {
  struct Case {
    const char* text;
    int32_t value;
  } cases[] = {{"4711", 4711}, {"  12abc", 12}, {"abc", 0}, {"", 0},
               {"2.5", 2},     {"3.5", 4},      {"-7", -7}, {"2147483647", 2147483647}};
  for (const auto& c : cases) EXPECT_EQ(RecordIdValue(c.text), c.value) << c.text;
  EXPECT_THROW(RecordIdValue("2147483648"), std::runtime_error);
  EXPECT_THROW(RecordIdValue("99999999999999999999999"), std::runtime_error);
}

}  // namespace
}  // namespace corvane::service
