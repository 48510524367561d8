#include "service/event_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>

#include "common/events/event_file.h"
#include "platform/clock/date_time.h"
#include "platform/clock/simulated_clock.h"
#include "platform/system/text_file.h"

namespace corvane::service {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class EventReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("corvane-reader-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "Debug");
    ctx_.state.AppFolder = folder_;
    ctx_.state.PolicyCommand = "Set-ExecutionPolicy Unrestricted -force";
    ctx_.write_app_event = [this](std::string_view module, std::string_view procedure, std::string_view text,
                                  EntryType type) {
      entries_.push_back(std::to_string(static_cast<int>(type)) + " " + std::string(module) + "_" +
                         std::string(procedure) + " " + std::string(text));
    };
    ::setenv("CORVANE_POWERSHELL", (folder_ / "no-powershell").c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("CORVANE_POWERSHELL");
    fs::remove_all(folder_);
  }
  void WriteEventFile(const std::vector<std::string>& records) {
    std::vector<std::string> lines = {std::string(events::kEventFileHeader)};
    lines.insert(lines.end(), records.begin(), records.end());
    platform::WriteTextLines(EventFilePath(ctx_.state), lines);
  }
  LogSlot& Slot(int i) { return ctx_.state.log_slots[i]; }

  fs::path folder_;
  platform::SimulatedClock clock_{*platform::MakeLocalTime(2026, 12, 11, 10, 0, 0)};
  ServiceContext ctx_{clock_};
  std::vector<std::string> entries_;
};

TEST_F(EventReaderTest, ReadIniSetsThePolicyOrKeepsTheDefault) {
  ctx_.state.PolicyCommand = "stale";
  Read_ini(ctx_);
  EXPECT_EQ(ctx_.state.PolicyCommand, "Set-ExecutionPolicy Unrestricted -force");

  std::ofstream(folder_ / "Corvane.ini") << "; policy\r\nSet-ExecutionPolicy Bypass -force\r\n";
  Read_ini(ctx_);
  EXPECT_EQ(ctx_.state.PolicyCommand, "Set-ExecutionPolicy Bypass -force");
  EXPECT_THAT(entries_, IsEmpty());

  fs::remove(folder_ / "Corvane.ini");
  fs::create_directory(folder_ / "Corvane.ini");  // there, but not readable as a file
  Read_ini(ctx_);
  EXPECT_EQ(ctx_.state.PolicyCommand, "Set-ExecutionPolicy Unrestricted -force");
  ASSERT_EQ(entries_.size(), 1u);
  EXPECT_THAT(entries_[0], HasSubstr("1 modCorvaneSrv_Read_ini "));
}

TEST_F(EventReaderTest, GetEventIndexSetsEachSlotFromItsLogsLastLine) {
  Slot(0).Log = "Application";
  Slot(1).Log = "System";
  Slot(2).Log = "Quiet";
  Slot(2).LastRecordId = 77;
  WriteEventFile({"Application\t10\t2026-12-10 08:00:00\tmore\tfields", "System\t12.5\t2026-12-10 09:00:00\t",
                  "too\tfew tabs", "Application\t13.5\t2026-12-10 08:30:00\t3 - Information\t..."});
  GetEventIndex(ctx_);
  EXPECT_THAT(entries_, IsEmpty());
  EXPECT_EQ(Slot(0).LastRecordId, 14);  // halves round to even
  EXPECT_EQ(Slot(0).LastEventTime, *platform::MakeLocalTime(2026, 12, 10, 8, 30, 0));
  EXPECT_EQ(Slot(1).LastRecordId, 12);
  EXPECT_EQ(Slot(1).LastEventTime, *platform::MakeLocalTime(2026, 12, 10, 9, 0, 0));
  EXPECT_EQ(Slot(2).LastRecordId, 77);
}

TEST_F(EventReaderTest, GetEventIndexChangesNothingWithoutLines) {
  Slot(0).Log = "Application";
  Slot(0).LastRecordId = 5;
  GetEventIndex(ctx_);  // no event file at all
  WriteEventFile({});
  GetEventIndex(ctx_);
  EXPECT_EQ(Slot(0).LastRecordId, 5);
  EXPECT_EQ(Slot(0).LastEventTime, platform::TimePoint{});
  EXPECT_THAT(entries_, IsEmpty());
}

// A failure stops the index; the slots set before it keep their new values.
TEST_F(EventReaderTest, GetEventIndexFailuresAreEntries) {
  Slot(0).Log = "Application";
  Slot(1).Log = "System";
  struct Case {
    const char* bad_line;
    const char* description;
  } cases[] = {{"System\t3\tyesterday\t", "Type mismatch: 'yesterday'"},
               {"System\t3000000000\t2026-12-10 09:00:00\t", "Overflow: record id '3000000000'"}};
  for (const auto& c : cases) {
    entries_.clear();
    Slot(0).LastRecordId = 0;
    WriteEventFile(
        {"Application\t8\t2026-12-10 08:00:00\t", c.bad_line, "Application\t9\t2026-12-10 08:00:00\t"});
    GetEventIndex(ctx_);
    EXPECT_EQ(Slot(0).LastRecordId, 8);
    ASSERT_EQ(entries_.size(), 1u);
    EXPECT_THAT(entries_[0], HasSubstr("1 modCorvaneSrv_GetEventIndex "));
    EXPECT_THAT(entries_[0], HasSubstr(c.description));
  }
}

TEST_F(EventReaderTest, PowerShellThatCannotStartFailsAfterItsPause) {
  EXPECT_FALSE(PshRunCmd(ctx_, "anything"));
  EXPECT_EQ(clock_.slept(), 3000ms);
  EXPECT_THAT(entries_, IsEmpty());

  WriteEventFile({});
  GetEventLogPsh(ctx_, "Application", 100);
  ASSERT_EQ(entries_.size(), 1u);
  EXPECT_EQ(entries_[0],
            "1 modCorvaneSrv_GetEventLogPsh \r\nSet-ExecutionPolicy Unrestricted -force\r\n"
            "get-winevent -logname 'Application' -maxevent 100 | sort-object -property recordid | "
            "format-list logname, recordid, timecreated, leveldisplayname, providername, "
            "taskdisplayname, id, userid, machinename, message > " +
                (folder_ / "temp" / "s-logwinevent.tmp").string());
  EXPECT_EQ(platform::ReadTextLines(EventFilePath(ctx_.state)).size(), 1u);
}

TEST_F(EventReaderTest, MissingDebugFolderIsAnEntryAndRunsNothing) {
  fs::remove_all(folder_ / "Debug");
  GetEventLogPsh(ctx_, "Application", 1);
  ASSERT_EQ(entries_.size(), 1u);
  EXPECT_THAT(entries_[0], HasSubstr("1 modCorvaneSrv_GetEventLogPsh Cannot open file"));
  EXPECT_EQ(clock_.slept(), 0ms);
}

}  // namespace
}  // namespace corvane::service
