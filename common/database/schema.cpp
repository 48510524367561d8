#include "common/database/schema.h"

#include "common/database/database.h"

namespace corvane {
namespace {

// Both layouts share these columns; the newer one adds the duplicate,
// watchdog and syslog columns the upgrade adds.
constexpr std::string_view kCommonSettingsColumns =
    "NmsIpAddr TEXT, NmsPort INTEGER, SourceIpAddr TEXT, LogCheckInterval INTEGER, "
    "SendMaxTraps INTEGER, DropDuplicate BIT, CaseSensitive BIT, ProgVersion TEXT, "
    "FirstTimeStartup BIT, DebugMode BIT";
constexpr std::string_view kFilterColumns =
    "Enabled BIT, %LOG%, SeverityExp TEXT, Severity TEXT, Source TEXT, Category TEXT, "
    "EventID TEXT, UserName TEXT, Computer TEXT, Message TEXT, Action TEXT";

std::string WithLog(std::string_view columns, std::string_view log_column) {
  std::string text(columns);
  const auto at = text.find("%LOG%");
  if (at != std::string::npos) text.replace(at, 5, log_column);
  return text;
}

void Fill(const std::filesystem::path& file, bool current, std::string_view version,
          const std::string& log_column);

}  // namespace

void CreateDatabase(const std::filesystem::path& file, std::string_view version) {
  const bool current = version == kCurrentSchemaVersion;
  if (!current && version != kOldestSchemaVersion) {
    throw DatabaseError("Unknown database version '" + std::string(version) + "' (known: " +
                        std::string(kCurrentSchemaVersion) + ", " + std::string(kOldestSchemaVersion) + ")");
  }
  std::error_code error;
  if (std::filesystem::exists(file, error)) {
    throw DatabaseError("The file '" + file.string() + "' exists already");
  }
  // The older release kept log names to 50 characters; the upgrade widens them.
  const std::string log_column = current ? "Log varChar(200)" : "Log varChar(50)";
  try {
    Fill(file, current, version, log_column);
  } catch (...) {
    // A half-made database would be taken for a good one later.
    std::filesystem::remove(file, error);
    throw;
  }
}

namespace {

void Fill(const std::filesystem::path& file, bool current, std::string_view version,
          const std::string& log_column) {
  Connection db = Connection::Create(file);
  db.Execute("BEGIN");
  std::string settings = "CREATE TABLE Settings_General (" + std::string(kCommonSettingsColumns);
  if (current) {
    settings +=
        ", SyslogIpAddr varChar(15), SyslogPort smallInt, SourcePort smallInt, "
        "DropDupMess varChar(25), TrapNoEvent BIT, NoEventDays smallInt";
  }
  db.Execute(settings + ")");
  db.Execute("CREATE TABLE Event_Log (" + log_column + ")");
  db.Execute("CREATE TABLE Event_Filter (" + WithLog(kFilterColumns, log_column) + ")");

  Recordset rs = Recordset::Open(db, "Settings_General");
  rs.AddNew();
  rs.SetField("NmsIpAddr", "127.0.0.1");
  rs.SetField("NmsPort", 162);
  rs.SetField("SourceIpAddr", "0.0.0.0");
  rs.SetField("LogCheckInterval", 1);
  rs.SetField("SendMaxTraps", 10);
  rs.SetField("DropDuplicate", true);
  rs.SetField("CaseSensitive", false);
  rs.SetField("ProgVersion", std::string(version));
  rs.SetField("FirstTimeStartup", true);
  rs.SetField("DebugMode", false);
  if (current) {
    rs.SetField("SyslogIpAddr", "127.0.0.1");
    rs.SetField("SyslogPort", 514);
    rs.SetField("SourcePort", 514);
    rs.SetField("DropDupMess", "Whole String Equal");
    rs.SetField("TrapNoEvent", true);
    rs.SetField("NoEventDays", 3);
  }
  rs.Update();

  Recordset logs = Recordset::Open(db, "Event_Log");
  for (const char* name : {"Application", "System"}) {
    logs.AddNew();
    logs.SetField("Log", name);
    logs.Update();
  }
  db.Execute("COMMIT");
}

}  // namespace
}  // namespace corvane
