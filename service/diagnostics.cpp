#include "service/diagnostics.h"

#include <chrono>
#include <sqlite3.h>

#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "platform/clock/date_time.h"
#include "platform/system/text_file.h"

namespace corvane::service {
namespace fs = std::filesystem;
namespace {

constexpr char kModule[] = "modCorvaneSrv";
constexpr int kPruneDays = 60;

std::string JoinSent(const ServiceContext& context, const EventRecord& event, int rule, bool trap) {
  std::string line = platform::FormatDateTime(context.clock.Now());
  if (trap) line += "\tVarBind: ";
  for (const std::string* field :
       {&event.RecordId, &event.TimeCreated, &event.LogName, &event.Level, &event.Source, &event.Category,
        &event.EventID, &event.UserName, &event.MachineName, &event.Message}) {
    line += '\t';
    line += *field;
  }
  line += '\t';
  line += std::to_string(rule);
  return line;
}

// The date an application-log line begins with, when it begins an entry.
std::optional<platform::TimePoint> EntryDate(const std::string& line) {
  if (line.size() <= 10) return std::nullopt;
  return platform::ParseDateTime(std::string_view(line).substr(0, 10));
}

void RemoveIfExists(const fs::path& path) {
  std::error_code error;
  fs::remove(path, error);
  if (error) throw std::runtime_error("Cannot delete '" + path.string() + "': " + error.message());
}

// SQLite's own busy wait would sleep past the clock; this one pauses through
// it, processing events, for up to about five seconds.
constexpr std::chrono::seconds kBackupPatience{30};

int BusyPause(void* context, int attempts) {
  if (attempts >= 500) return 0;
  static_cast<const ServiceContext*>(context)->PauseWithEvents(10);
  return 1;
}

class Database {
 public:
  Database(const fs::path& path, int flags, const ServiceContext& context) {
    const int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
      const std::string why = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
      sqlite3_close(db_);
      throw std::runtime_error("Cannot open database '" + path.string() + "': " + why);
    }
    sqlite3_busy_handler(db_, BusyPause, const_cast<ServiceContext*>(&context));
  }
  ~Database() { sqlite3_close(db_); }
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  sqlite3* get() const { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

void CopyDatabase(const fs::path& from, const fs::path& to, const ServiceContext& context) {
  // Read-only, so a missing database is an error rather than a new empty file.
  Database source(from, SQLITE_OPEN_READONLY, context);
  Database target(to, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, context);
  sqlite3_backup* backup = sqlite3_backup_init(target.get(), "main", source.get(), "main");
  if (backup == nullptr) {
    throw std::runtime_error("Cannot back up the database: " + std::string(sqlite3_errmsg(target.get())));
  }
  int rc = SQLITE_OK;
  // All pages in one step: the copy then comes from one read transaction. A
  // writer that never lets go must not hold the midnight poll for ever: after
  // the deadline the backup fails with an entry and yesterday's copy stays.
  const auto deadline = context.clock.Now() + kBackupPatience;
  for (;;) {
    rc = sqlite3_backup_step(backup, -1);
    if (rc == SQLITE_OK) continue;
    if ((rc == SQLITE_BUSY || rc == SQLITE_LOCKED) && context.clock.Now() < deadline) {
      context.PauseWithEvents(100);
      continue;
    }
    break;
  }
  sqlite3_backup_finish(backup);
  if (rc != SQLITE_DONE) {
    throw std::runtime_error("Cannot back up the database '" + from.string() + "': " + sqlite3_errstr(rc));
  }
}

}  // namespace

fs::path DebugFolder(const ServiceContext& context) { return context.state.AppFolder / "Debug"; }
fs::path BackupFolder(const ServiceContext& context) { return context.state.AppFolder / "Backup"; }

void AppendSlotReport(const ServiceContext& context) {
  const fs::path path = DebugFolder(context) / "s-lastevtid.txt";
  const std::string time = platform::FormatDateTime(context.clock.Now()).substr(11);
  for (const LogSlot& slot : context.state.log_slots) {
    if (slot.Log.empty()) continue;
    // The time and the name run together, as the report has always had them.
    platform::AppendTextLine(path, time + '\t' + std::to_string(slot.LastRecordId) + '\t' +
                                       platform::FormatDateTime(slot.LastEventTime) + slot.Log + '\t');
  }
  platform::AppendTextLine(path, "");
}

void AppendTrapReport(const ServiceContext& context, const EventRecord& event, int rule) {
  platform::AppendTextLine(DebugFolder(context) / "s-snmptraps.txt", JoinSent(context, event, rule, true));
}

void AppendSyslogReport(const ServiceContext& context, const EventRecord& event, int rule) {
  platform::AppendTextLine(DebugFolder(context) / "s-syslog.txt", JoinSent(context, event, rule, false));
}

void DeleteDailyReports(const ServiceContext& context) {
  for (const char* name : {"s-lastevtid.txt", "s-snmptraps.txt", "s-syslog.txt"}) {
    RemoveIfExists(DebugFolder(context) / name);
  }
}

void ClearDebugDir_AET(const ServiceContext& context) {
  try {
    const fs::path log = DebugFolder(context) / "AppEventCorvane.txt";
    const fs::path bak = DebugFolder(context) / "AppEventCorvane.bak";
    if (!fs::exists(log)) return;
    RemoveIfExists(bak);
    fs::rename(log, bak);

    const platform::TimePoint now = context.clock.Now();
    std::vector<std::string> kept;
    // Lines before the first dated one belong to an entry pruned earlier.
    bool keep_entry = false;
    for (std::string& line : platform::ReadTextLines(bak)) {
      if (const auto date = EntryDate(line)) {
        keep_entry = platform::CalendarDaysBetween(*date, now) < kPruneDays;
      }
      if (keep_entry) kept.push_back(std::move(line));
    }
    platform::WriteTextLines(log, kept);
    fs::remove(bak);
  } catch (const std::exception& e) {
    context.WriteAppEvent(kModule, "ClearDebugDir_AET", e.what(), EntryType::kError);
  }
}

void BackupDatabase(const ServiceContext& context) {
  try {
    const fs::path folder = BackupFolder(context);
    if (!fs::is_directory(folder)) {
      throw std::runtime_error("Backup folder '" + folder.string() + "' does not exist");
    }
    const fs::path copy = folder / "Corvane.mdb";
    const fs::path partial = folder / "Corvane.mdb.new";
    RemoveIfExists(partial);
    try {
      CopyDatabase(context.state.AppFolder / "Corvane.mdb", partial, context);
    } catch (...) {
      std::error_code ignored;
      fs::remove(partial, ignored);
      throw;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
      if (entry.path() != partial && !entry.is_directory()) RemoveIfExists(entry.path());
    }
    context.PauseWithEvents(200);
    fs::rename(partial, copy);
    context.PauseWithEvents(1000);
  } catch (const std::exception& e) {
    context.WriteAppEvent(kModule, "BackupDatabase", e.what(), EntryType::kError);
  }
}

}  // namespace corvane::service
