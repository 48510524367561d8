#pragma once
// The event-log store, standing in for the event log service: a folder with
// one file per log. Each record keeps the ten properties the system reads,
// and any text (tabs, line breaks, any bytes) comes back exactly as written.
// Writers append whole records under an exclusive lock and readers read under
// a shared one, so no reader sees half a record; record ids start at 1 in each
// log and grow by one. Failures throw std::runtime_error with a description.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::platform {

// One record as the store keeps it; LogName is the log that holds it.
struct StoredEvent {
  int64_t RecordId = 0;
  std::string TimeCreated = {};  // "YYYY-MM-DD HH:MM:SS"
  std::string LevelDisplayName = {};
  std::string ProviderName = {};
  std::string TaskDisplayName = {};  // may be empty
  int64_t Id = 0;
  std::string UserId = {};  // a security identifier text, may be empty
  std::string MachineName = {};
  std::string Message = {};

  bool operator==(const StoredEvent&) const = default;
};

struct LogSummary {
  std::string name;
  // Nothing when the log's file cannot be read.
  std::optional<int64_t> record_count;
};

class EventLogStore {
 public:
  explicit EventLogStore(std::filesystem::path folder) : folder_(std::move(folder)) {}

  // $CORVANE_EVENTLOG_DIR when set, else <app_folder>/EventLogs.
  static std::filesystem::path DefaultFolder(const std::filesystem::path& app_folder);

  const std::filesystem::path& folder() const { return folder_; }

  // Creates an empty log; fails when a log of that name (in any case) exists.
  void Create(std::string_view name);
  // Removes every record; the next record gets id 1 again.
  void Clear(std::string_view name);
  // Appends one record (its RecordId is assigned) and returns its id. The
  // log is created when missing.
  int64_t Append(std::string_view name, StoredEvent event);

  // The log's name as stored: an exact match first, else the one log whose
  // name matches ignoring ASCII case, as event log names are looked up.
  std::optional<std::string> Find(std::string_view name) const;
  // Every record in id order; nothing when the log does not exist.
  std::optional<std::vector<StoredEvent>> Read(std::string_view name) const;
  // Logs sorted by name ignoring case, with their record counts.
  std::vector<LogSummary> List() const;

  // A name the store accepts: not empty, printable (no control characters).
  static bool IsValidName(std::string_view name);

 private:
  std::filesystem::path FileOf(std::string_view name) const;

  std::filesystem::path folder_;
};

// The host name, the default machine name of a new record.
std::string LocalComputerName();

}  // namespace corvane::platform
