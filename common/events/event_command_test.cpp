#include "common/events/event_command.h"

#include <gtest/gtest.h>

#include "common/events/event_file.h"
#include "common/events/ini_rules.h"

namespace corvane::events {
namespace {

TEST(EventCommandTest, CommandCarriesTheLogNameAsOneQuotedString) {
  EXPECT_EQ(
      BuildEventCommand(kDefaultPolicyCommand, "Application", 100, "/opt/corvane/temp/s-logwinevent.tmp"),
      "Set-ExecutionPolicy Unrestricted -force\r\n"
      "get-winevent -logname 'Application' -maxevent 100 | sort-object -property recordid "
      "| format-list logname, recordid, timecreated, leveldisplayname, providername, "
      "taskdisplayname, id, userid, machinename, message > "
      "/opt/corvane/temp/s-logwinevent.tmp");
  const std::string hostile = BuildEventCommand("P", "x'; Remove-Item -Recurse C:\\; '", 1, "/t");
  EXPECT_NE(hostile.find("-logname 'x''; Remove-Item -Recurse C:\\; ''' -maxevent 1 |"), std::string::npos)
      << hostile;
  EXPECT_EQ(QuotePowerShellString(""), "''");
  EXPECT_EQ(QuotePowerShellString("''"), "''''''");
  // PowerShell also ends a string at the typographic single quotes.
  EXPECT_EQ(QuotePowerShellString("a\u2019b\u2018"), "'a\u2019\u2019b\u2018\u2018'");
  EXPECT_EQ(QuotePowerShellString("\xE2\x80"), "'\xE2\x80'");
  // A folder with a space or a quote still names one file.
  EXPECT_EQ(BuildListLogCommand("P", "/my folder/it's/c-loglist.tmp"),
            "P\r\nget-winevent -listlog * | format-list logname, recordcount > "
            "'/my folder/it''s/c-loglist.tmp'");
}

TEST(EventCommandTest, EventLinesAreTheTenFieldsJoinedByTab) {
  EXPECT_EQ(FormatEventLine(EventRecord{}),
            "n/a\t0\t2000-01-01 00:00:00\t3 - Information\tn/a\tn/a\t0\tn/a\tn/a\tn/a");
  EventRecord record;
  record.Message = "with\ttab";
  const std::string line = FormatEventLine(record);
  const auto fields = SplitEventIndexFields(line);
  ASSERT_TRUE(fields);
  EXPECT_EQ(fields->log_name, "n/a");
  EXPECT_EQ(fields->record_id, "0");
  EXPECT_EQ(fields->time_created, "2000-01-01 00:00:00");
  EXPECT_FALSE(SplitEventIndexFields("a\tb\tc"));
  EXPECT_TRUE(SplitEventIndexFields("\t\t\t"));
}

TEST(EventCommandTest, IniLinesSetThePolicyByTheirRules) {
  struct Case {
    const char* ini;
    const char* policy;
  } cases[] = {
      {"", "Set-ExecutionPolicy Unrestricted -force"},
      {"Set-ExecutionPolicy RemoteSigned  \r\n", "Set-ExecutionPolicy RemoteSigned"},
      {"  Set-ExecutionPolicy Bypass\n", "Set-ExecutionPolicy Unrestricted -force"},
      {"set-executionpolicy Bypass\n", "Set-ExecutionPolicy Unrestricted -force"},
      {"; Set-ExecutionPolicy Bypass\n[Psh]\nSet-ExecutionPolicy A\nother\nSet-ExecutionPolicy B",
       "Set-ExecutionPolicy B"},
      {"\xEF\xBB\xBFSet-ExecutionPolicy AllSigned\r\n", "Set-ExecutionPolicy AllSigned"},
      {"Set\nSet-ExecutionPolicy", "Set-ExecutionPolicy"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ApplyIniText(c.ini, std::string(kDefaultPolicyCommand)), c.policy) << c.ini;
  }
}

}  // namespace
}  // namespace corvane::events
