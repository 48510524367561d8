// corvane-eventlog: the administrator's and the tests' tool for the
// event-log store ($CORVANE_EVENTLOG_DIR, else <AppFolder>/EventLogs).
//
//   corvane-eventlog write --log NAME --source TEXT --id N
//       --level Error|Warning|Information|Critical|Verbose --message TEXT
//       [--category TEXT] [--user TEXT] [--computer TEXT]
//       [--time "YYYY-MM-DD HH:MM:SS"]          prints the new record id
//   corvane-eventlog create NAME | clear NAME | list

#include <charconv>
#include <iostream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/clock/date_time.h"
#include "platform/eventlog/event_log_store.h"
#include "platform/eventloop/qt_clock.h"
#include "platform/system/app_folder.h"

namespace {

using namespace corvane;

constexpr std::string_view kUsage =
    "usage: corvane-eventlog write --log NAME --source TEXT --id N\n"
    "           --level Error|Warning|Information|Critical|Verbose --message TEXT\n"
    "           [--category TEXT] [--user TEXT] [--computer TEXT] [--time \"YYYY-MM-DD HH:MM:SS\"]\n"
    "           (the log is created when missing)\n"
    "       corvane-eventlog create NAME\n"
    "       corvane-eventlog clear NAME\n"
    "       corvane-eventlog list\n";

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::optional<std::string> CanonicalLevel(std::string_view level) {
  for (const std::string_view known : {"Error", "Warning", "Information", "Critical", "Verbose"}) {
    if (level.size() != known.size()) continue;
    bool same = true;
    for (size_t i = 0; i < level.size(); ++i) {
      same = same && std::tolower(static_cast<unsigned char>(level[i])) ==
                         std::tolower(static_cast<unsigned char>(known[i]));
    }
    if (same) return std::string(known);
  }
  return std::nullopt;
}

int Write(platform::EventLogStore& store, int argc, char** argv) {
  static const std::map<std::string_view, bool> kOptions = {
      {"--log", true},   {"--source", true},    {"--id", true},
      {"--level", true}, {"--message", true},   {"--category", false},
      {"--user", false}, {"--computer", false}, {"--time", false}};
  std::map<std::string_view, std::string> given;
  for (int i = 2; i < argc; i += 2) {
    const std::string_view option = argv[i];
    if (!kOptions.contains(option)) throw UsageError("unknown option " + std::string(option));
    if (i + 1 >= argc) throw UsageError("missing value for " + std::string(option));
    if (given.contains(option)) throw UsageError("option given twice: " + std::string(option));
    given[option] = argv[i + 1];
  }
  for (const auto& [option, required] : kOptions) {
    if (required && !given.contains(option)) throw UsageError("missing " + std::string(option));
  }

  platform::StoredEvent event;
  event.ProviderName = given["--source"];
  event.Message = given["--message"];
  event.TaskDisplayName = given.contains("--category") ? given["--category"] : "";
  event.UserId = given.contains("--user") ? given["--user"] : "";
  event.MachineName = given.contains("--computer") ? given["--computer"] : platform::LocalComputerName();

  const std::string& id = given["--id"];
  const auto [end, ec] = std::from_chars(id.data(), id.data() + id.size(), event.Id);
  if (ec != std::errc() || end != id.data() + id.size() || event.Id < 0 || event.Id > 65535) {
    throw UsageError("--id must be a whole number from 0 to 65535, not '" + id + "'");
  }
  const auto level = CanonicalLevel(given["--level"]);
  if (!level) throw UsageError("unknown level '" + given["--level"] + "'");
  event.LevelDisplayName = *level;

  if (given.contains("--time")) {
    const auto when = platform::ParseDateTime(given["--time"]);
    if (!when) throw UsageError("--time must read \"YYYY-MM-DD HH:MM:SS\", not '" + given["--time"] + "'");
    event.TimeCreated = platform::FormatDateTime(*when);
  } else {
    event.TimeCreated = platform::FormatDateTime(platform::QtClock().Now());
  }
  std::cout << store.Append(given["--log"], std::move(event)) << "\n";
  return 0;
}

int Run(int argc, char** argv) {
  if (argc < 2) throw UsageError("no command");
  const std::string_view command = argv[1];
  platform::EventLogStore store(platform::EventLogStore::DefaultFolder(platform::ProgramFolder()));
  if (command == "write") return Write(store, argc, argv);
  if (command == "list" && argc == 2) {
    for (const auto& log : store.List()) {
      std::cout << log.name << '\t' << (log.record_count ? std::to_string(*log.record_count) : "") << '\n';
    }
    return 0;
  }
  if ((command == "create" || command == "clear") && argc == 3) {
    if (command == "create") {
      store.Create(argv[2]);
    } else {
      store.Clear(argv[2]);
    }
    return 0;
  }
  throw UsageError("unknown command or wrong arguments");
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const UsageError& error) {
    std::cerr << "corvane-eventlog: " << error.what() << "\n" << kUsage;
    return 2;
  } catch (const std::exception& error) {
    std::cerr << "corvane-eventlog: " << error.what() << "\n";
    return 1;
  }
}
