// The event reader through the real programs: records written with
// corvane-eventlog, read back by GetEventLogPsh through the powershell
// stand-in into the event file, and indexed into the log slots.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "common/events/event_file.h"
#include "platform/clock/date_time.h"
#include "platform/process/child_process.h"
#include "platform/process/paced_clock.h"
#include "platform/system/text_file.h"
#include "service/event_reader.h"

namespace corvane::service {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// A long word-wrapped message, a provider name too long for two lines.
const std::string kWrapping =
    "The service terminated unexpectedly because the configured recovery program could not be "
    "started after the third consecutive failure of the worker process on this computer.";
const std::string kLongLogName = "Corvane-Round-Trip-" + std::string(90, 'L') + "/Operational";

bool IsRunning(int pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  const auto paren = line.rfind(')');
  return paren != std::string::npos && paren + 2 < line.size() && line[paren + 2] != 'Z';
}

class ReaderRoundTripTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* bin = std::getenv("CORVANE_BIN_DIR");
    ASSERT_NE(bin, nullptr);
    bin_ = bin;
    root_ = fs::temp_directory_path() / ("corvane-roundtrip-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    app_ = root_ / "app";
    fs::create_directories(app_ / "Debug");
    fs::create_directories(app_ / "temp");
    fs::permissions(app_ / "temp", fs::perms::owner_all);
    ::setenv("CORVANE_EVENTLOG_DIR", (root_ / "EventLogs").c_str(), 1);
    ::setenv("CORVANE_POWERSHELL", (bin_ / "powershell").c_str(), 1);
    ::unsetenv("CORVANE_PSH_WIDTH");

    ctx_.state.AppFolder = app_;
    ctx_.state.PolicyCommand = "Set-ExecutionPolicy Unrestricted -force";
    ctx_.write_app_event = [this](std::string_view module, std::string_view procedure, std::string_view text,
                                  EntryType) {
      entries_.push_back(std::string(module) + "_" + std::string(procedure) + " " + std::string(text));
    };
    events::CreateEventFile(EventFilePath(ctx_.state));
  }
  void TearDown() override {
    ::unsetenv("CORVANE_EVENTLOG_DIR");
    ::unsetenv("CORVANE_POWERSHELL");
    fs::remove_all(root_);
  }

  // Runs corvane-eventlog to its end and returns what it printed.
  std::string EventLogTool(std::vector<std::string> arguments) {
    std::string error;
    auto tool = platform::ChildProcess::Start({.program = bin_ / "corvane-eventlog",
                                               .arguments = std::move(arguments),
                                               .stdout_file = root_ / "tool.out"},
                                              error);
    EXPECT_NE(tool, nullptr) << error;
    if (tool == nullptr) return {};
    for (int i = 0; i < 10000 && !tool->HasEnded(); ++i) clock_.Sleep(10ms);
    EXPECT_EQ(tool->ExitStatus(), 0);
    return platform::ReadWholeFile(root_ / "tool.out");
  }
  void Write(const std::string& log, const std::string& level, const std::string& source,
             const std::string& category, const std::string& user, const std::string& message,
             const std::string& time) {
    EventLogTool({"write", "--log", log, "--source", source, "--id", "1000", "--level", level, "--message",
                  message, "--category", category, "--user", user, "--computer", "HOST01.example.local",
                  "--time", time});
  }
  std::vector<std::string> EventLines() {
    auto lines = platform::ReadTextLines(EventFilePath(ctx_.state));
    EXPECT_EQ(lines.front(), events::kEventFileHeader);
    lines.erase(lines.begin());
    return lines;
  }

  fs::path bin_, root_, app_;
  platform::PacedClock clock_{*platform::MakeLocalTime(2026, 12, 11, 10, 0, 0)};
  ServiceContext ctx_{clock_};
  std::vector<std::string> entries_;
};

TEST_F(ReaderRoundTripTest, RecordsComeBackAsTheEventFileLinesTheLayoutPredicts) {
  std::string words;
  for (int i = 1; i <= 60; ++i) words += (i > 1 ? " word" : "word") + std::to_string(i);
  Write("Application", "Error", "Application Error", "Application Crashing Events", "", kWrapping,
        "2024-03-14 09:05:07");
  Write("Application", "Information", "Demo-Provider", "", "S-1-5-18",
        "Backup finished.\r\n\r\nDetails:\r\n\tFiles:\t1200\r\n", "2024-03-14 09:06:41");
  Write("Application", "Warning",
        "\xC3\x9C"
        "berwacher",
        "Pr\xC3\xBC"
        "fung",
        "S-1-5-18",
        "\xC3\x9C"
        "berwachung gestartet: \xE7\x9B\xA3\xE8\xA6\x96 \xE2\x9C\x93",
        "2024-03-14 09:07:00");
  Write("Application", "Critical", "Demo-Provider", "Long", "", words, "2024-03-14 09:08:00");
  Write(kLongLogName, "Verbose", "Channel", "", "", "on a channel", "2024-03-14 09:09:00");

  GetEventLogPsh(ctx_, "Application", 100);
  GetEventLogPsh(ctx_, kLongLogName, 100);
  EXPECT_THAT(entries_, IsEmpty());
  const std::string tail = "\t1000\t";
  EXPECT_THAT(EventLines(),
              ElementsAre("Application\t1\t2024-03-14 09:05:07\t1 - Error\tApplication Error\tApplication "
                          "Crashing Events" +
                              tail + "\tHOST01.example.local\t" + kWrapping + " ",
                          "Application\t2\t2024-03-14 09:06:41\t3 - Information\tDemo-Provider\t" + tail +
                              "S-1-5-18\tHOST01.example.local\tBackup finished.  Details: \tFiles:\t1200  ",
                          "Application\t3\t2024-03-14 09:07:00\t2 - Warning\t\xC3\x9C"
                          "berwacher\tPr\xC3\xBC"
                          "fung" +
                              tail +
                              "S-1-5-18\tHOST01.example.local\t\xC3\x9C"
                              "berwachung gestartet: "
                              "\xE7\x9B\xA3\xE8\xA6\x96 \xE2\x9C\x93 ",
                          "Application\t4\t2024-03-14 09:08:00\t3 - Information\tDemo-Provider\tLong" + tail +
                              "\tHOST01.example.local\t" + words + " ",
                          kLongLogName + "\t1\t2024-03-14 09:09:00\t3 - Information\tChannel\t" + tail +
                              "\tHOST01.example.local\ton a channel "));
}

// A value wrapping over two continuation lines shifts the block, as the
// reader has always done: the rest of it becomes a record of its own.
TEST_F(ReaderRoundTripTest, AProviderNameWrappingTwiceShiftsTheBlock) {
  const std::string provider(250, 'P');
  Write("Shifted", "Error", provider, "Task", "S-1-5-18", "m", "2024-03-14 09:05:07");
  GetEventLogPsh(ctx_, "Shifted", 1);
  EXPECT_THAT(EventLines(),
              ElementsAre("Shifted\t1\t2024-03-14 09:05:07\t1 - Error\t" + provider.substr(0, 200) +
                              "\tn/a\t0\tn/a\tn/a\tn/a",
                          "n/a\t0\t2000-01-01 00:00:00\t3 - Information\tn/a\tTask\t1000\tS-1-5-18\t"
                          "HOST01.example.local\tm "));
}

// The first cycle: the newest entry of each log, then the slots from it.
TEST_F(ReaderRoundTripTest, NewestEntryAndIndexSetTheSlots) {
  Write("Application", "Error", "A", "", "", "old", "2024-03-14 09:05:07");
  Write("Application", "Error", "A", "", "", "newest", "2024-03-14 09:06:00");
  Write(kLongLogName, "Error", "B", "", "", "only", "2024-03-15 00:00:01");
  ctx_.state.log_slots[0].Log = "Application";
  ctx_.state.log_slots[1].Log = kLongLogName;
  ctx_.state.log_slots[2].Log = "Missing";
  for (int i = 0; i < 3; ++i) GetEventLogPsh(ctx_, ctx_.state.log_slots[i].Log, 1);
  const auto lines = EventLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_THAT(lines[0], HasSubstr("\tnewest "));
  GetEventIndex(ctx_);
  EXPECT_THAT(entries_, IsEmpty());
  EXPECT_EQ(ctx_.state.log_slots[0].LastRecordId, 2);
  EXPECT_EQ(ctx_.state.log_slots[0].LastEventTime, *platform::MakeLocalTime(2024, 3, 14, 9, 6, 0));
  EXPECT_EQ(ctx_.state.log_slots[1].LastRecordId, 1);
  EXPECT_EQ(ctx_.state.log_slots[1].LastEventTime, *platform::MakeLocalTime(2024, 3, 15, 0, 0, 1));
  EXPECT_EQ(ctx_.state.log_slots[2].LastRecordId, 0);
}

// The hostile name reaches the stand-in as one literal: without such a log
// nothing is found (PowerShell leaves an empty output); with a log of exactly
// that name, its record comes back under that name.
TEST_F(ReaderRoundTripTest, AQuoteInALogNameCannotEndTheString) {
  const std::string hostile = "x'; Remove-Item -Recurse C:\\; '";
  GetEventLogPsh(ctx_, hostile, 1);
  EXPECT_THAT(entries_, IsEmpty());
  EXPECT_THAT(EventLines(), IsEmpty());
  EXPECT_EQ(platform::ReadWholeFile(PshTempFilePath(ctx_.state)), "");

  Write(hostile, "Error", "S", "", "", "literal", "2024-03-14 09:05:07");
  GetEventLogPsh(ctx_, hostile, 1);
  EXPECT_THAT(EventLines(), ElementsAre(hostile + "\t1\t2024-03-14 09:05:07\t1 - Error\tS\t\t1000\t"
                                                  "\tHOST01.example.local\tliteral "));
}

// PowerShell that fails before writing (here: a policy line that does not
// parse) leaves no output; the output of the run before must not stand in.
TEST_F(ReaderRoundTripTest, AStaleOutputIsNeverReadForANewRun) {
  Write("Application", "Error", "A", "", "", "m", "2024-03-14 09:05:07");
  GetEventLogPsh(ctx_, "Application", 1);
  ASSERT_EQ(EventLines().size(), 1u);
  ctx_.state.PolicyCommand = "Set-ExecutionPolicy 'Unrestricted";
  GetEventLogPsh(ctx_, "Application", 1);
  EXPECT_EQ(EventLines().size(), 1u);
  EXPECT_FALSE(fs::exists(PshTempFilePath(ctx_.state)));
  EXPECT_THAT(entries_, IsEmpty());
}

// A PowerShell that hangs makes the runner give up at its deadline on the
// virtual clock; it and what it started are killed and reaped.
TEST_F(ReaderRoundTripTest, AHangingPowerShellIsKilledAtTheDeadline) {
  const fs::path hang = root_ / "hanging-powershell";
  {
    std::ofstream script(hang);
    script << "#!/bin/sh\n"
              "trap '' TERM\n"
              "sleep 300 &\n"
              "echo $$ $! > hang.pids.tmp && mv hang.pids.tmp hang.pids\n"
              "wait\n";
  }
  fs::permissions(hang, fs::perms::owner_all);
  ::setenv("CORVANE_POWERSHELL", hang.c_str(), 1);

  const auto start = clock_.Now();
  EXPECT_FALSE(PshRunCmd(ctx_, "get-winevent -listlog * | format-list > out"));
  const auto waited = clock_.Now() - start;
  EXPECT_GT(waited, 20s);
  EXPECT_LE(waited, 20s + 40ms);
  EXPECT_THAT(entries_, IsEmpty());

  ASSERT_TRUE(fs::exists(app_ / "hang.pids")) << "the double never ran";
  std::ifstream pids(app_ / "hang.pids");
  int shell = 0, sleeper = 0;
  pids >> shell >> sleeper;
  EXPECT_FALSE(fs::exists("/proc/" + std::to_string(shell))) << "not reaped";
  for (int i = 0; i < 100 && IsRunning(sleeper); ++i) clock_.Sleep(10ms);
  EXPECT_FALSE(IsRunning(sleeper));

  GetEventLogPsh(ctx_, "Application", 1);
  ASSERT_EQ(entries_.size(), 1u);
  EXPECT_THAT(entries_[0], HasSubstr("modCorvaneSrv_GetEventLogPsh \r\nSet-ExecutionPolicy"));
}

}  // namespace
}  // namespace corvane::service
