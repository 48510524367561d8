#include "service/diagnostics.h"

#include <sqlite3.h>

#include "platform/system/text_file.h"
#include "service/test_support.h"

namespace corvane::service {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using platform::MakeLocalTime;
using platform::ReadTextLines;
using platform::ReadWholeFile;

class DiagnosticsTest : public testing::ServiceFixture {};

EventRecord Sample() {
  EventRecord e;
  e.LogName = "System";
  e.RecordId = "4711";
  e.TimeCreated = "2026-12-11 09:59:58";
  e.Level = "1 - Error";
  e.Source = "Disk";
  e.Category = "n/a";
  e.EventID = "7";
  e.UserName = "n/a";
  e.MachineName = "host01";
  e.Message = "Bad block\ton disk ";
  return e;
}

TEST_F(DiagnosticsTest, ReportLines) {
  context.state.log_slots[0] = {"Application", 120, *MakeLocalTime(2026, 12, 10, 8, 30)};
  context.state.log_slots[2] = {"System", 7, *MakeLocalTime(2026, 12, 11, 9, 0, 5)};
  clock.Sleep(1234s);  // 10:20:34
  AppendSlotReport(context);
  AppendSlotReport(context);
  EXPECT_EQ(ReadWholeFile(debug() / "s-lastevtid.txt"),
            "10:20:34\t120\t2026-12-10 08:30:00Application\t\r\n"
            "10:20:34\t7\t2026-12-11 09:00:05System\t\r\n"
            "\r\n"
            "10:20:34\t120\t2026-12-10 08:30:00Application\t\r\n"
            "10:20:34\t7\t2026-12-11 09:00:05System\t\r\n"
            "\r\n");

  AppendTrapReport(context, Sample(), 3);
  AppendSyslogReport(context, Sample(), 12);
  EXPECT_EQ(ReadWholeFile(debug() / "s-snmptraps.txt"),
            "2026-12-11 10:20:34\tVarBind: \t4711\t2026-12-11 09:59:58\tSystem\t1 - Error\tDisk"
            "\tn/a\t7\tn/a\thost01\tBad block\ton disk \t3\r\n");
  EXPECT_EQ(ReadWholeFile(debug() / "s-syslog.txt"),
            "2026-12-11 10:20:34\t4711\t2026-12-11 09:59:58\tSystem\t1 - Error\tDisk"
            "\tn/a\t7\tn/a\thost01\tBad block\ton disk \t12\r\n");

  DeleteDailyReports(context);
  DeleteDailyReports(context);  // nothing left to delete is fine
  EXPECT_FALSE(fs::exists(debug() / "s-lastevtid.txt"));
  EXPECT_FALSE(fs::exists(debug() / "s-snmptraps.txt"));
  EXPECT_FALSE(fs::exists(debug() / "s-syslog.txt"));
}

TEST_F(DiagnosticsTest, ReportFailuresReachTheCaller) {
  fs::remove_all(debug());
  EXPECT_THROW(AppendTrapReport(context, Sample(), 1), std::runtime_error);
}

TEST_F(DiagnosticsTest, PruningKeepsWholeEntriesYoungerThanSixtyDays) {
  // Today is 2026-12-11; 60 days back is 2026-10-12.
  platform::WriteTextLines(
      debug() / "AppEventCorvane.txt",
      {
          "continuation of an entry pruned before",
          "2026-10-12 23:59:59\t3\tfrmCorvaneSrv_timer1\t60 days: dropped",
          "2026-10-12 10:00:00\t1\tmodCorvaneSrv_GetEventLogPsh\t",
          "Set-ExecutionPolicy Unrestricted -force",
          "",
          "get-winevent -logname 'Old' ...",
          "2026-10-13 00:00:00\t1\tmodCorvaneSrv_GetEventLogPsh\t",
          "Set-ExecutionPolicy Unrestricted -force",
          "",
          "get-winevent -logname 'Kept' ...",
          "2026-12-11 09:00:00\t3\tfrmCorvaneSrv_dartSvc_State\tService Started, Version 2.22",
          "2027-01-01 00:00:00\t3\tclock set back\tfuture entries stay",
      });
  ClearDebugDir_AET(context);
  EXPECT_TRUE(entries.empty());
  EXPECT_FALSE(fs::exists(debug() / "AppEventCorvane.bak"));
  EXPECT_EQ(ReadTextLines(debug() / "AppEventCorvane.txt"),
            (std::vector<std::string>{
                "2026-10-13 00:00:00\t1\tmodCorvaneSrv_GetEventLogPsh\t",
                "Set-ExecutionPolicy Unrestricted -force",
                "",
                "get-winevent -logname 'Kept' ...",
                "2026-12-11 09:00:00\t3\tfrmCorvaneSrv_dartSvc_State\tService Started, Version 2.22",
                "2027-01-01 00:00:00\t3\tclock set back\tfuture entries stay",
            }));

  // A day later the 59-day entry is 60 days old.
  clock.Sleep(24h);
  ClearDebugDir_AET(context);
  EXPECT_EQ(ReadTextLines(debug() / "AppEventCorvane.txt").size(), 2u);
}

TEST_F(DiagnosticsTest, PruningWithoutLogDoesNothingAndFailuresAreEntries) {
  ClearDebugDir_AET(context);
  EXPECT_FALSE(fs::exists(debug() / "AppEventCorvane.txt"));
  EXPECT_TRUE(entries.empty());

  // A folder in the way of the .bak cannot be replaced.
  platform::WriteTextLines(debug() / "AppEventCorvane.txt", {"2026-12-11 09:00:00\t3\tm_p\tx"});
  fs::create_directories(debug() / "AppEventCorvane.bak" / "blocker");
  ClearDebugDir_AET(context);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].module, "modCorvaneSrv");
  EXPECT_EQ(entries[0].procedure, "ClearDebugDir_AET");
  EXPECT_EQ(entries[0].type, EntryType::kError);
  EXPECT_TRUE(fs::exists(debug() / "AppEventCorvane.txt"));
}

// A small real database: one table of numbered rows.
class Db {
 public:
  explicit Db(const fs::path& path) { EXPECT_EQ(sqlite3_open(path.c_str(), &db_), SQLITE_OK); }
  ~Db() { sqlite3_close(db_); }
  void Exec(const std::string& sql) {
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
        << (error != nullptr ? error : "") << " in " << sql;
    sqlite3_free(error);
  }
  int64_t Count(const std::string& table) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db_, ("SELECT count(*) FROM " + table).c_str(), -1, &statement, nullptr);
    int64_t n = -1;
    if (sqlite3_step(statement) == SQLITE_ROW) n = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    return n;
  }

 private:
  sqlite3* db_ = nullptr;
};

class BackupTest : public DiagnosticsTest {
 protected:
  void SetUp() override {
    Db db(folder / "Corvane.mdb");
    db.Exec("CREATE TABLE Event_Log (Log TEXT)");
    db.Exec("BEGIN");
    for (int i = 0; i < 1000; ++i) {
      db.Exec("INSERT INTO Event_Log VALUES ('log" + std::to_string(i) + "')");
    }
    db.Exec("COMMIT");
    platform::WriteTextLines(folder / "Backup" / "Corvane.mdb", {"yesterday's copy"});
    platform::WriteTextLines(folder / "Backup" / "notes.txt", {"left here by hand"});
  }
  std::vector<std::string> BackupFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder / "Backup")) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }
};

TEST_F(BackupTest, ReplacesTheFolderWithAReadableCopy) {
  BackupDatabase(context);
  EXPECT_TRUE(entries.empty());
  EXPECT_EQ(BackupFiles(), std::vector<std::string>{"Corvane.mdb"});
  Db copy(folder / "Backup" / "Corvane.mdb");
  EXPECT_EQ(copy.Count("Event_Log"), 1000);
}

TEST_F(BackupTest, WaitsOnTheClockWhileAWriterHoldsTheDatabase) {
  // The console is in the middle of a change when the backup starts; it
  // commits a second later.
  Db console(folder / "Corvane.mdb");
  console.Exec("BEGIN EXCLUSIVE");
  console.Exec("INSERT INTO Event_Log VALUES ('added by the console')");
  auto commit = clock.CreateTimer();
  commit->SetInterval(1s);
  commit->on_timeout = [&] {
    console.Exec("COMMIT");
    commit->Stop();
  };
  commit->Start();
  const auto started = clock.Now();

  BackupDatabase(context);
  EXPECT_TRUE(entries.empty()) << entries[0].text;
  EXPECT_GE(clock.Now() - started, 1s);
  Db copy(folder / "Backup" / "Corvane.mdb");
  EXPECT_EQ(copy.Count("Event_Log"), 1001);
}

TEST_F(BackupTest, AWriterThatNeverLetsGoFailsTheBackupInsteadOfHangingIt) {
  Db console(folder / "Corvane.mdb");
  console.Exec("BEGIN EXCLUSIVE");
  console.Exec("INSERT INTO Event_Log VALUES ('never committed')");
  const auto started = clock.Now();
  BackupDatabase(context);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].procedure, "BackupDatabase");
  EXPECT_EQ(entries[0].type, EntryType::kError);
  EXPECT_GE(clock.Now() - started, 30s);
  EXPECT_LT(clock.Now() - started, 2min);
  EXPECT_EQ(BackupFiles().size(), 2u);  // no half-made copy left behind
  EXPECT_EQ(ReadTextLines(folder / "Backup" / "Corvane.mdb"), std::vector<std::string>{"yesterday's copy"});
  console.Exec("ROLLBACK");
}

TEST_F(BackupTest, FailureKeepsTheOldBackup) {
  fs::remove(folder / "Corvane.mdb");
  BackupDatabase(context);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].procedure, "BackupDatabase");
  EXPECT_EQ(entries[0].type, EntryType::kError);
  EXPECT_FALSE(fs::exists(folder / "Corvane.mdb"));  // not created by the attempt
  EXPECT_EQ(ReadTextLines(folder / "Backup" / "Corvane.mdb"), std::vector<std::string>{"yesterday's copy"});
  EXPECT_EQ(BackupFiles().size(), 2u);

  fs::remove_all(folder / "Backup");
  BackupDatabase(context);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_NE(entries[1].text.find("Backup"), std::string::npos);
}

}  // namespace
}  // namespace corvane::service
