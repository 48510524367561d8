#include "platform/eventlog/event_log_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace corvane::platform {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kHeader = "corvane-eventlog 1\n";
constexpr std::string_view kSuffix = ".evl";
constexpr size_t kFieldCount = 9;

[[noreturn]] void Fail(const std::string& what) { throw std::runtime_error(what); }

[[noreturn]] void FailErrno(const std::string& what, const fs::path& path) {
  Fail(what + " '" + path.string() + "': " + std::strerror(errno));
}

// A file descriptor holding a flock for as long as it lives.
class LockedFile {
 public:
  LockedFile(const fs::path& path, int flags, int lock) : path_(path) {
    do {
      fd_ = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) return;
    int rc;
    do {
      rc = ::flock(fd_, lock);
    } while (rc < 0 && errno == EINTR);
    if (rc < 0) FailErrno("Cannot lock event log", path);
  }
  ~LockedFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;

  bool is_open() const { return fd_ >= 0; }

  std::string ReadAll() const {
    std::string data;
    char buffer[65536];
    off_t offset = 0;
    for (;;) {
      const ssize_t n = ::pread(fd_, buffer, sizeof buffer, offset);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) FailErrno("Cannot read event log", path_);
      if (n == 0) break;
      data.append(buffer, static_cast<size_t>(n));
      offset += n;
    }
    return data;
  }

  void WriteAt(off_t offset, std::string_view data) const {
    while (!data.empty()) {
      const ssize_t n = ::pwrite(fd_, data.data(), data.size(), offset);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) FailErrno("Cannot write event log", path_);
      data.remove_prefix(static_cast<size_t>(n));
      offset += n;
    }
  }

  void Truncate(off_t length) const {
    if (::ftruncate(fd_, length) < 0) FailErrno("Cannot truncate event log", path_);
  }

 private:
  fs::path path_;
  int fd_ = -1;
};

// File names keep letters, digits, '-', '_' and inner dots; every other byte
// (slashes of channel names, spaces, '%', non-ASCII) becomes %HH.
std::string EncodeName(std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (std::isalnum(c) != 0 && c < 0x80) {
      encoded += static_cast<char>(c);
    } else if (c == '-' || c == '_' || (c == '.' && i > 0)) {
      encoded += static_cast<char>(c);
    } else {
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 0xF];
    }
  }
  return encoded;
}

std::optional<std::string> DecodeName(std::string_view encoded) {
  std::string name;
  for (size_t i = 0; i < encoded.size(); ++i) {
    if (encoded[i] != '%') {
      name += encoded[i];
      continue;
    }
    unsigned value = 0;
    if (i + 2 >= encoded.size()) return std::nullopt;
    const auto [end, ec] = std::from_chars(encoded.data() + i + 1, encoded.data() + i + 3, value, 16);
    if (ec != std::errc() || end != encoded.data() + i + 3) return std::nullopt;
    name += static_cast<char>(value);
    i += 2;
  }
  return name;
}

void AppendEscaped(std::string& out, std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
}

std::optional<std::string> Unescape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return std::nullopt;
    switch (text[i]) {
      case '\\':
        out += '\\';
        break;
      case 't':
        out += '\t';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      default:
        return std::nullopt;
    }
  }
  return out;
}

std::string FormatRecord(const StoredEvent& e) {
  std::string line = std::to_string(e.RecordId);
  for (const std::string_view field :
       {std::string_view(e.TimeCreated), std::string_view(e.LevelDisplayName),
        std::string_view(e.ProviderName), std::string_view(e.TaskDisplayName)}) {
    line += '\t';
    AppendEscaped(line, field);
  }
  line += '\t';
  line += std::to_string(e.Id);
  for (const std::string_view field :
       {std::string_view(e.UserId), std::string_view(e.MachineName), std::string_view(e.Message)}) {
    line += '\t';
    AppendEscaped(line, field);
  }
  line += '\n';
  return line;
}

std::optional<int64_t> ParseInteger(std::string_view text) {
  int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

std::optional<StoredEvent> ParseRecord(std::string_view line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    auto field = Unescape(line.substr(start, tab == std::string_view::npos ? line.npos : tab - start));
    if (!field) return std::nullopt;
    fields.push_back(std::move(*field));
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  if (fields.size() != kFieldCount) return std::nullopt;
  const auto record_id = ParseInteger(fields[0]);
  const auto id = ParseInteger(fields[5]);
  if (!record_id || !id) return std::nullopt;
  return StoredEvent{*record_id, fields[1], fields[2], fields[3], fields[4],
                     *id,        fields[6], fields[7], fields[8]};
}

struct ParsedLog {
  std::vector<StoredEvent> records;
  // Bytes up to the end of the last whole record; a torn tail lies beyond.
  size_t whole_length = 0;
};

ParsedLog ParseLog(std::string_view data, const fs::path& path) {
  if (!data.starts_with(kHeader)) Fail("Not an event log file: '" + path.string() + "'");
  ParsedLog log;
  size_t start = kHeader.size();
  log.whole_length = start;
  size_t line_number = 1;
  while (start < data.size()) {
    const size_t end = data.find('\n', start);
    if (end == std::string_view::npos) break;  // a record still being written
    ++line_number;
    auto record = ParseRecord(data.substr(start, end - start));
    if (!record) {
      Fail("Damaged event log '" + path.string() + "' at line " + std::to_string(line_number));
    }
    log.records.push_back(std::move(*record));
    start = end + 1;
    log.whole_length = start;
  }
  return log;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string Lowered(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lowered;
}

}  // namespace

fs::path EventLogStore::DefaultFolder(const fs::path& app_folder) {
  const char* folder = std::getenv("CORVANE_EVENTLOG_DIR");
  if (folder != nullptr && *folder != '\0') return folder;
  return app_folder / "EventLogs";
}

bool EventLogStore::IsValidName(std::string_view name) {
  if (name.empty()) return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
  });
}

fs::path EventLogStore::FileOf(std::string_view name) const {
  if (!IsValidName(name)) Fail("Invalid event log name '" + std::string(name) + "'");
  std::string file = EncodeName(name);
  file += kSuffix;
  if (file.size() > 255) Fail("Event log name too long: '" + std::string(name) + "'");
  return folder_ / file;
}

std::optional<std::string> EventLogStore::Find(std::string_view name) const {
  if (!IsValidName(name)) return std::nullopt;
  std::error_code error;
  if (fs::exists(FileOf(name), error)) return std::string(name);
  std::optional<std::string> found;
  for (const auto& log : List()) {
    if (!EqualsIgnoringCase(log.name, name)) continue;
    if (found) return std::nullopt;  // ambiguous
    found = log.name;
  }
  return found;
}

void EventLogStore::Create(std::string_view name) {
  const fs::path file = FileOf(name);
  if (const auto existing = Find(name)) Fail("The event log '" + *existing + "' exists already");
  fs::create_directories(folder_);
  LockedFile out(file, O_RDWR | O_CREAT | O_EXCL, LOCK_EX);
  if (!out.is_open()) FailErrno("Cannot create event log", file);
  out.WriteAt(0, kHeader);
}

void EventLogStore::Clear(std::string_view name) {
  const auto stored = Find(name);
  if (!stored) Fail("There is no event log '" + std::string(name) + "'");
  const fs::path file = FileOf(*stored);
  LockedFile log(file, O_RDWR, LOCK_EX);
  if (!log.is_open()) FailErrno("Cannot open event log", file);
  ParseLog(log.ReadAll(), file);  // refuses to clear what is not a log
  log.Truncate(static_cast<off_t>(kHeader.size()));
}

int64_t EventLogStore::Append(std::string_view name, StoredEvent event) {
  const auto stored = Find(name);
  const fs::path file = FileOf(stored ? *stored : name);
  if (!stored) fs::create_directories(folder_);
  LockedFile log(file, O_RDWR | O_CREAT, LOCK_EX);
  if (!log.is_open()) FailErrno("Cannot open event log", file);
  const std::string data = log.ReadAll();
  ParsedLog parsed;
  if (data.empty()) {
    log.WriteAt(0, kHeader);
    parsed.whole_length = kHeader.size();
  } else {
    parsed = ParseLog(data, file);
  }
  // A record torn by a writer that died mid-write is dropped, so the new one
  // starts on a line of its own.
  if (parsed.whole_length < data.size()) log.Truncate(static_cast<off_t>(parsed.whole_length));
  event.RecordId = parsed.records.empty() ? 1 : parsed.records.back().RecordId + 1;
  log.WriteAt(static_cast<off_t>(parsed.whole_length), FormatRecord(event));
  return event.RecordId;
}

std::optional<std::vector<StoredEvent>> EventLogStore::Read(std::string_view name) const {
  const auto stored = Find(name);
  if (!stored) return std::nullopt;
  const fs::path file = FileOf(*stored);
  LockedFile log(file, O_RDONLY, LOCK_SH);
  if (!log.is_open()) FailErrno("Cannot open event log", file);
  return ParseLog(log.ReadAll(), file).records;
}

std::vector<LogSummary> EventLogStore::List() const {
  std::vector<LogSummary> logs;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder_, error)) {
    const std::string file = entry.path().filename().string();
    if (!file.ends_with(kSuffix)) continue;
    auto name = DecodeName(std::string_view(file).substr(0, file.size() - kSuffix.size()));
    if (!name || !IsValidName(*name)) continue;
    LogSummary summary{*name, std::nullopt};
    try {
      LockedFile log(entry.path(), O_RDONLY, LOCK_SH);
      if (log.is_open()) {
        summary.record_count = static_cast<int64_t>(ParseLog(log.ReadAll(), entry.path()).records.size());
      }
    } catch (const std::runtime_error&) {
      // Listed all the same, with no count, as an unreadable log is.
    }
    logs.push_back(std::move(summary));
  }
  std::sort(logs.begin(), logs.end(), [](const LogSummary& a, const LogSummary& b) {
    const std::string la = Lowered(a.name), lb = Lowered(b.name);
    return la != lb ? la < lb : a.name < b.name;
  });
  return logs;
}

std::string LocalComputerName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return "localhost";
  return name;
}

}  // namespace corvane::platform
