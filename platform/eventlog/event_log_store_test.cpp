#include "platform/eventlog/event_log_store.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <thread>

namespace corvane::platform {
namespace {

namespace fs = std::filesystem;

class EventLogStoreTest : public ::testing::Test {
 protected:
  EventLogStoreTest()
      : dir_(fs::temp_directory_path() / ("corvane-eventlog-" + std::to_string(::getpid()) + "-" +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name())),
        store_(dir_ / "EventLogs") {
    fs::remove_all(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static StoredEvent Event(std::string message) {
    return {.TimeCreated = "2024-03-14 09:05:07",
            .LevelDisplayName = "Error",
            .ProviderName = "Demo-Provider",
            .TaskDisplayName = "",
            .Id = 1000,
            .UserId = "S-1-5-18",
            .MachineName = "HOST01",
            .Message = std::move(message)};
  }

  fs::path dir_;
  EventLogStore store_;
};

TEST_F(EventLogStoreTest, AnyTextComesBackExactly) {
  const std::vector<std::string> messages = {
      "plain",
      "",
      "tab\there, CR\rLF\nCRLF\r\nend\n",
      "backslashes \\t \\n \\\\ and a trailing one \\",
      "\xC3\xA5\xC3\xA4\xC3\xB6 \xE2\x82\xAC \xF0\x9F\x98\x80 and invalid \xFF\xFE bytes",
      std::string("nul\0inside", 10),
  };
  for (const auto& message : messages) store_.Append("Application", Event(message));
  StoredEvent odd = Event("x");
  odd.ProviderName = "Provider\twith\\tab";
  odd.TaskDisplayName = "line\nbreak";
  odd.UserId = "";
  store_.Append("Application", odd);

  const auto records = store_.Read("Application");
  ASSERT_TRUE(records);
  ASSERT_EQ(records->size(), messages.size() + 1);
  for (size_t i = 0; i < messages.size(); ++i) {
    EXPECT_EQ((*records)[i].Message, messages[i]) << i;
    EXPECT_EQ((*records)[i].RecordId, static_cast<int64_t>(i + 1));
  }
  odd.RecordId = static_cast<int64_t>(messages.size() + 1);
  EXPECT_EQ(records->back(), odd);
}

TEST_F(EventLogStoreTest, NamesWithSlashesAndCaseAreKeptAndListed) {
  const std::string channel = "Microsoft-Windows-PowerShell/Operational";
  store_.Create(channel);
  store_.Create("..");
  store_.Create("50% full: \xC3\xA5");
  store_.Append("application", Event("a"));
  store_.Append("Application", Event("b"));  // found ignoring case
  EXPECT_THROW(store_.Create("APPLICATION"), std::runtime_error);
  EXPECT_THROW(store_.Create("bad\nname"), std::runtime_error);
  EXPECT_THROW(store_.Create(""), std::runtime_error);

  EXPECT_EQ(store_.Find("MICROSOFT-windows-powershell/operational"), channel);
  EXPECT_FALSE(store_.Find("Microsoft-Windows-PowerShell"));
  const auto logs = store_.List();
  ASSERT_EQ(logs.size(), 4u);
  EXPECT_EQ(logs[0].name, "..");
  EXPECT_EQ(logs[1].name, "50% full: \xC3\xA5");
  EXPECT_EQ(logs[2].name, "application");
  EXPECT_EQ(logs[2].record_count, 2);
  EXPECT_EQ(logs[3].name, channel);
  EXPECT_EQ(logs[3].record_count, 0);
  for (const auto& entry : fs::directory_iterator(store_.folder())) {
    EXPECT_EQ(entry.path().parent_path(), store_.folder()) << "a name escaped the folder";
  }
}

TEST_F(EventLogStoreTest, ClearStartsIdsAgainAndMissingLogsFail) {
  store_.Append("System", Event("1"));
  store_.Append("System", Event("2"));
  store_.Clear("System");
  EXPECT_EQ(store_.Read("System")->size(), 0u);
  EXPECT_EQ(store_.Append("System", Event("3")), 1);
  EXPECT_THROW(store_.Clear("Nothing"), std::runtime_error);
  EXPECT_FALSE(store_.Read("Nothing"));
}

// A torn record at the end (a writer that died mid-write) is invisible to
// readers and replaced by the next append; a foreign file is listed with no
// count and cannot be read.
TEST_F(EventLogStoreTest, TornTailsAndForeignFiles) {
  store_.Append("Application", Event("whole"));
  const fs::path file = store_.folder() / "Application.evl";
  {
    std::ofstream out(file, std::ios::app | std::ios::binary);
    out << "2\t2024-03-14 09:05:07\tError\tDemo";
  }
  EXPECT_EQ(store_.Read("Application")->size(), 1u);
  EXPECT_EQ(store_.Append("Application", Event("next")), 2);
  EXPECT_EQ(store_.Read("Application")->back().Message, "next");

  { std::ofstream(store_.folder() / "Broken.evl") << "not a log\n"; }
  EXPECT_THROW(store_.Read("Broken"), std::runtime_error);
  const auto logs = store_.List();
  ASSERT_EQ(logs.size(), 2u);
  EXPECT_EQ(logs[1].name, "Broken");
  EXPECT_FALSE(logs[1].record_count);
}

// Writers in parallel (each with its own open file, as separate processes
// have) never share an id or interleave their bytes.
TEST_F(EventLogStoreTest, ParallelAppendsGetDistinctIdsAndWholeRecords) {
  constexpr int kWriters = 4, kEach = 50;
  const std::string long_message(5000, 'm');
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&, w] {
      EventLogStore store(dir_ / "EventLogs");
      for (int i = 0; i < kEach; ++i) store.Append("Application", Event(std::to_string(w) + long_message));
    });
  }
  for (auto& writer : writers) writer.join();
  const auto records = store_.Read("Application");
  ASSERT_EQ(records->size(), static_cast<size_t>(kWriters * kEach));
  for (size_t i = 0; i < records->size(); ++i) {
    EXPECT_EQ((*records)[i].RecordId, static_cast<int64_t>(i + 1));
    EXPECT_EQ((*records)[i].Message.substr(1), long_message);
  }
}

}  // namespace
}  // namespace corvane::platform
