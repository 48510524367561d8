#include "common/database/database.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "common/database/config_tables.h"
#include "common/database/schema.h"

namespace corvane {
namespace {

using ::testing::HasSubstr;

class DatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("corvane-db-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    CreateDatabase(dir_ / "Corvane.mdb", kCurrentSchemaVersion);
    connect_ = DbConnectString(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  void SetSetting(std::string_view column, FieldValue value) {
    Connection db = Connection::Open(connect_);
    Recordset rs = Recordset::Open(db, "Settings_General");
    rs.SetField(column, std::move(value));
    rs.Update();
  }
  void AddRule(FieldValue enabled, FieldValue source, const std::string& log = "Application") {
    Connection db = Connection::Open(connect_);
    Recordset rs = Recordset::Open(db, "Event_Filter");
    rs.AddNew();
    rs.SetField("Enabled", std::move(enabled));
    for (const char* column :
         {"SeverityExp", "Severity", "Category", "EventID", "UserName", "Computer", "Message", "Action"}) {
      rs.SetField(column, "*");
    }
    rs.SetField("Log", log);
    rs.SetField("Source", std::move(source));
    rs.Update();
  }

  std::filesystem::path dir_;
  std::string connect_;
};

TEST_F(DatabaseTest, NewDatabaseHoldsTheFirstValues) {
  const GeneralSettings start = ReadGeneralSettings(connect_, SettingsRead::kAtStart);
  EXPECT_EQ(start.NmsIpAddr, "127.0.0.1");
  EXPECT_EQ(start.NmsPort, 162);
  EXPECT_EQ(start.SyslogIpAddr, "127.0.0.1");
  EXPECT_EQ(start.SyslogPort, 514);
  EXPECT_EQ(start.SourceIpAddr, "0.0.0.0");
  EXPECT_EQ(start.SourcePort, 514);
  EXPECT_EQ(start.LogCheckInterval, 60);
  EXPECT_EQ(start.SendMaxTraps, 10);
  EXPECT_TRUE(start.DropDuplicate);
  EXPECT_EQ(start.DropDupMess, "Whole String Equal");
  EXPECT_FALSE(start.CaseSensitive);
  EXPECT_EQ(start.ProgVersion, "2.22");
  const GeneralSettings poll = ReadGeneralSettings(connect_, SettingsRead::kAtPoll);
  EXPECT_TRUE(poll.TrapNoEvent);
  EXPECT_EQ(poll.NoEventDays, 3);
  const auto logs = ReadMonitoredLogs(connect_);
  ASSERT_EQ(logs.size(), 2u);
  EXPECT_EQ(logs[0].Log, "Application");
  EXPECT_EQ(logs[1].Log, "System");
  EXPECT_TRUE(ReadEnabledFilterRules(connect_).empty());
}

TEST_F(DatabaseTest, ReadConversionsAndTheirFailures) {
  struct Case {
    const char* column;
    FieldValue value;
    const char* failure;  // nullptr: the read succeeds
  } cases[] = {
      {"NmsIpAddr", nullptr, "Invalid use of Null (Settings_General.NmsIpAddr)"},
      {"NmsPort", 40000, "Overflow (Settings_General.NmsPort)"},
      {"NmsPort", 32767, nullptr},
      {"NmsPort", -32768, nullptr},
      {"SourcePort", 32768, "Overflow"},
      {"SyslogPort", "514", nullptr},
      {"SyslogPort", "five", "Type mismatch"},
      {"DropDuplicate", nullptr, "Invalid use of Null"},
      {"LogCheckInterval", nullptr, "Invalid use of Null"},
      {"LogCheckInterval", 40000000, "Overflow"},
      {"SendMaxTraps", 2.5, nullptr},  // rounds half to even
  };
  for (const auto& c : cases) {
    SetUp();
    SetSetting(c.column, c.value);
    if (c.failure == nullptr) {
      EXPECT_NO_THROW(ReadGeneralSettings(connect_, SettingsRead::kAtStart)) << c.column;
    } else {
      try {
        ReadGeneralSettings(connect_, SettingsRead::kAtStart);
        ADD_FAILURE() << c.column << " read without failure";
      } catch (const DatabaseError& e) {
        EXPECT_THAT(e.what(), HasSubstr(c.failure)) << c.column;
      }
    }
  }
  SetUp();
  SetSetting("SendMaxTraps", 2.5);
  SetSetting("LogCheckInterval", 10);
  const auto s = ReadGeneralSettings(connect_, SettingsRead::kAtStart);
  EXPECT_EQ(s.SendMaxTraps, 2);
  EXPECT_EQ(s.LogCheckInterval, 600);
}

TEST_F(DatabaseTest, WatchdogColumnsAreReadOnlyAtAPoll) {
  SetSetting("NoEventDays", nullptr);
  EXPECT_NO_THROW(ReadGeneralSettings(connect_, SettingsRead::kAtStart));
  EXPECT_THROW(ReadGeneralSettings(connect_, SettingsRead::kAtPoll), DatabaseError);
  SetSetting("NoEventDays", 3);
  SetSetting("ProgVersion", nullptr);
  EXPECT_NO_THROW(ReadGeneralSettings(connect_, SettingsRead::kAtPoll));
  EXPECT_THROW(ReadGeneralSettings(connect_, SettingsRead::kAtStart), DatabaseError);
}

TEST_F(DatabaseTest, RulesKeepTableOrderAndSkipDisabledOnes) {
  AddRule(true, "first");
  AddRule(nullptr, "null-enabled");
  AddRule(false, nullptr);  // a Null in a disabled row does not matter
  AddRule(1, "second", "Microsoft-Windows-PowerShell/Operational");
  const auto rules = ReadEnabledFilterRules(connect_);
  ASSERT_EQ(rules.size(), 2u);
  EXPECT_EQ(rules[0].Source, "first");
  EXPECT_EQ(rules[1].Source, "second");
  EXPECT_EQ(rules[1].Log, "Microsoft-Windows-PowerShell/Operational");
  AddRule(true, nullptr);
  EXPECT_THROW(ReadEnabledFilterRules(connect_), DatabaseError);
}

TEST_F(DatabaseTest, RewrittenTableKeepsTheOrderOfAddition) {
  Connection db = Connection::Open(connect_);
  Recordset rs = Recordset::Open(db, "Event_Log");
  while (!rs.Eof()) rs.Delete();
  for (const char* name : {"System", "Security", "Application"}) {
    rs.AddNew();
    rs.SetField("Log", name);
    rs.Update();
  }
  db.Close();
  std::vector<std::string> names;
  for (const auto& log : ReadMonitoredLogs(connect_)) names.push_back(log.Log);
  EXPECT_EQ(names, (std::vector<std::string>{"System", "Security", "Application"}));
}

TEST_F(DatabaseTest, SchemaStatementsOfTheUpgrade) {
  const auto old_file = dir_ / "old" / "Corvane.mdb";
  std::filesystem::create_directories(old_file.parent_path());
  CreateDatabase(old_file, kOldestSchemaVersion);
  Connection db = Connection::Open(DbConnectString(old_file.parent_path()));
  EXPECT_FALSE(db.HasColumn("Settings_General", "DropDupMess"));
  db.Execute("ALTER TABLE Settings_General ADD COLUMN DropDupMess varChar(25)");
  EXPECT_TRUE(db.HasColumn("Settings_General", "DropDupMess"));
  // Adding it again fails, as the upgrade's failure handling expects.
  EXPECT_THROW(db.Execute("ALTER TABLE Settings_General ADD COLUMN DropDupMess varChar(25)"), DatabaseError);
  EXPECT_NO_THROW(db.Execute("ALTER TABLE Event_Log ALTER COLUMN Log varChar(200)"));
  EXPECT_THROW(db.Execute("ALTER TABLE Event_Log ALTER COLUMN Nope varChar(200)"), DatabaseError);
  EXPECT_THROW(db.Execute("ALTER TABLE Missing ALTER COLUMN Log varChar(200)"), DatabaseError);
  Recordset rs = Recordset::Open(db, "Settings_General");
  EXPECT_EQ(AsText(rs, "ProgVersion"), "1.10");
  EXPECT_TRUE(rs.Field("DropDupMess").IsNull());
  for (const char* column : {"TrapNoEvent", "NoEventDays", "SyslogIpAddr", "SyslogPort", "SourcePort"}) {
    EXPECT_FALSE(db.HasColumn("Settings_General", column)) << column;
  }
}

TEST_F(DatabaseTest, OpenFailuresAreClear) {
  EXPECT_THROW(Connection::Open(DbConnectString(dir_ / "nowhere")), DatabaseError);
  EXPECT_THROW(Connection::Open("Provider=x;Persist Security Info=False"), DatabaseError);
  const auto junk = dir_ / "junk";
  std::filesystem::create_directories(junk);
  { std::ofstream(junk / "Corvane.mdb") << "this is not a database, it is a text file of some length"; }
  EXPECT_THROW(Connection::Open(DbConnectString(junk)), DatabaseError);
  Connection db = Connection::Open(connect_);
  EXPECT_THROW(Recordset::Open(db, "NoSuchTable"), DatabaseError);
  Recordset rs = Recordset::Open(db, "Settings_General");
  EXPECT_THROW(rs.Field("NoSuchColumn"), DatabaseError);
  EXPECT_EQ(DataSourceOf(" data source = /a/b.mdb ;x=y"), "/a/b.mdb");
  EXPECT_THROW(CreateDatabase(dir_ / "Corvane.mdb", kCurrentSchemaVersion), DatabaseError);
  EXPECT_THROW(CreateDatabase(dir_ / "v3.mdb", "3.00"), DatabaseError);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "v3.mdb"));
}

TEST_F(DatabaseTest, ReadWaitsForAWriterInsteadOfFailing) {
  sqlite3* writer = nullptr;
  ASSERT_EQ(sqlite3_open((dir_ / "Corvane.mdb").c_str(), &writer), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(writer, "BEGIN EXCLUSIVE; UPDATE Settings_General SET NmsPort = 1162", nullptr,
                         nullptr, nullptr),
            SQLITE_OK);
  std::thread commit([writer] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    sqlite3_exec(writer, "COMMIT", nullptr, nullptr, nullptr);
  });
  const auto s = ReadGeneralSettings(connect_, SettingsRead::kAtStart);
  commit.join();
  sqlite3_close(writer);
  EXPECT_EQ(s.NmsPort, 1162);
}

}  // namespace
}  // namespace corvane
