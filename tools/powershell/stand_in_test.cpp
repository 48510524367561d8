#include "tools/powershell/stand_in.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

using namespace std::string_literals;

#include "common/events/event_command.h"
#include "common/events/list_format.h"
#include "common/events/text_encoding.h"
#include "platform/system/text_file.h"

namespace corvane::powershell {
namespace {

namespace fs = std::filesystem;

class StandInTest : public ::testing::Test {
 protected:
  StandInTest()
      : dir_(fs::temp_directory_path() / ("corvane-psh-" + std::to_string(::getpid()) + "-" +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name())),
        store_(dir_ / "EventLogs"),
        out_(dir_ / "out.tmp") {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    for (const char* message : {"first", "second", "third"}) {
      store_.Append("Application", {.TimeCreated = "2024-03-14 09:05:07",
                                    .LevelDisplayName = "Warning",
                                    .ProviderName = "Demo",
                                    .Id = 7,
                                    .MachineName = "HOST01",
                                    .Message = message});
    }
    store_.Create("Empty");
  }
  ~StandInTest() override { fs::remove_all(dir_); }

  struct Run {
    int status;
    std::string console;
    std::string errors;
  };
  Run RunText(const std::string& text) {
    std::ostringstream console, errors;
    const int status = RunScript(text, {store_, 119, console, errors});
    return {status, console.str(), errors.str()};
  }
  std::string EventCommand(const std::string& log, int n) {
    return events::BuildEventCommand(events::kDefaultPolicyCommand, log, n, out_);
  }
  std::string Output() { return platform::ReadWholeFile(out_); }

  fs::path dir_;
  platform::EventLogStore store_;
  fs::path out_;
};

TEST_F(StandInTest, EventCommandWritesTheNewestRecordsSortedInUtf16) {
  struct Case {
    int max_events;
    std::vector<std::string> ids;
  } cases[] = {{1, {"3"}}, {2, {"2", "3"}}, {200, {"1", "2", "3"}}};
  for (const auto& c : cases) {
    const Run run = RunText(EventCommand("Application", c.max_events));
    EXPECT_EQ(run.status, 0) << run.errors;
    const std::string bytes = Output();
    ASSERT_TRUE(bytes.starts_with("\xFF\xFE\r\0\n\0\r\0\n\0L\0"s)) << c.max_events;
    const auto parsed = events::ParseEventList(bytes);
    ASSERT_EQ(parsed.records.size(), c.ids.size());
    for (size_t i = 0; i < c.ids.size(); ++i) {
      EXPECT_EQ(parsed.records[i].RecordId, c.ids[i]);
      EXPECT_EQ(parsed.records[i].Level, "2 - Warning");
      EXPECT_EQ(parsed.records[i].Category, "");
    }
  }
}

TEST_F(StandInTest, NamesIgnoreCaseAndLabelsKeepTheirOwn) {
  const Run run = RunText(
      "GET-WINEVENT -LOGNAME 'application' -MaxEv 1 | Sort-Object RecordID | "
      "Format-List LOGNAME, recordid, NoSuchProperty");
  EXPECT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(run.console, "\r\n\r\nLogName  : Application\r\nRecordId : 3\r\n\r\n\r\n\r\n");
}

TEST_F(StandInTest, ListLogGivesNamesAndCounts) {
  store_.Create("Microsoft-Windows-PowerShell/Operational");
  const Run run = RunText(events::BuildListLogCommand(events::kDefaultPolicyCommand, out_));
  EXPECT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(events::Utf16ToUtf8(events::DecodeTextFile(Output())),
            "\r\n\r\n"
            "LogName     : Application\r\nRecordCount : 3\r\n\r\n"
            "LogName     : Empty\r\nRecordCount : 0\r\n\r\n"
            "LogName     : Microsoft-Windows-PowerShell/Operational\r\nRecordCount : 0\r\n\r\n"
            "\r\n\r\n");
}

// Failures as PowerShell fails: a command that runs but finds nothing leaves
// an empty file; a text that does not parse leaves the file as it was.
TEST_F(StandInTest, FailuresLeaveTheFileAsPowerShellDoes) {
  struct Case {
    const char* name;
    std::string text;
    std::string error;
    bool file_emptied;
  } cases[] = {
      {"unknown log", EventCommand("Nowhere", 1),
       "Get-WinEvent : There is not an event log on the localhost computer that matches "
       "\"Nowhere\".",
       true},
      {"empty log", EventCommand("Empty", 1),
       "Get-WinEvent : No events were found that match the specified selection criteria.", true},
      {"bad count", EventCommand("Application", 0), "The 0 argument is less than the minimum", true},
      {"unbalanced quote", "get-winevent -logname 'Appl > " + out_.string(),
       "The string is missing the terminator: '.", false},
      {"variables", "get-winevent -logname $env:x > " + out_.string(), "Unexpected token '$'", false},
      {"empty pipe element", "get-winevent -listlog * | | format-list > " + out_.string(),
       "An empty pipe element is not allowed.", false},
      {"no target", "get-winevent -listlog * | format-list >", "Missing file name", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    platform::WriteTextLines(out_, {"stale"});
    const Run run = RunText(c.text);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find(c.error), std::string::npos) << run.errors;
    EXPECT_EQ(Output(), c.file_emptied ? "" : "stale\r\n");
  }
}

// The log name travels as one literal string: the stand-in looks up exactly
// that name, finds no log, and runs nothing else. Even the unquoted form of
// old, which real PowerShell would run as two commands, only gets an error.
TEST_F(StandInTest, AHostileLogNameIsLookedUpLiterallyAndNothingElseRuns) {
  for (const std::string hostile :
       {"x'; Remove-Item -Recurse C:\\; '", "y\u2019; Remove-Item C:\\; \u2018"}) {
    const Run quoted = RunText(EventCommand(hostile, 1));
    EXPECT_EQ(quoted.status, 1);
    EXPECT_EQ(quoted.errors,
              "Get-WinEvent : There is not an event log on the localhost computer that matches \"" + hostile +
                  "\".\n");
    EXPECT_EQ(Output(), "");
  }
  EXPECT_EQ(RunText("get-winevent -logname \u2018Application\u2019 | format-list recordid").console,
            "\r\n\r\nRecordId : 3\r\n\r\nRecordId : 2\r\n\r\nRecordId : 1\r\n\r\n\r\n\r\n");

  const Run unquoted = RunText(
      "Set-ExecutionPolicy Unrestricted -force\r\nget-winevent -logname "
      "'x'; Remove-Item -Recurse C:\\ #' -maxevent 1 | format-list > " +
      out_.string());
  EXPECT_EQ(unquoted.status, 1);
  EXPECT_NE(unquoted.errors.find("The term 'Remove-Item' is not recognized"), std::string::npos)
      << unquoted.errors;
}

}  // namespace
}  // namespace corvane::powershell
