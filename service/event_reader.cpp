#include "service/event_reader.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <stdexcept>

#include "common/events/event_command.h"
#include "common/events/event_file.h"
#include "common/events/ini_rules.h"
#include "common/events/list_format.h"
#include "common/events/psh_runner.h"
#include "platform/clock/date_time.h"
#include "platform/system/text_file.h"

namespace corvane::service {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kModule = "modCorvaneSrv";
constexpr events::PshRunnerTimes kServiceRunnerTimes{std::chrono::seconds(20), 3000};

// The numeric value of a record id text (leading blanks, a sign, digits and a
// fraction; reading stops at anything else, so "12abc" is 12 and "" is 0),
// converted to the nearest signed 32-bit integer, halves to even.
int32_t RecordIdValue(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  size_t end = i;
  if (end < text.size() && (text[end] == '+' || text[end] == '-')) ++end;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  if (end < text.size() && text[end] == '.') {
    ++end;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  }
  const std::string number(text.substr(i, end - i));
  double value = 0;
  if (!number.empty() && number != "+" && number != "-" && number != ".") {
    try {
      value = std::stod(number);
    } catch (const std::exception&) {
      value = 0;  // "-." and the like carry no digits
    }
  }
  const double rounded = std::nearbyint(value);
  if (!(rounded >= std::numeric_limits<int32_t>::min() && rounded <= std::numeric_limits<int32_t>::max())) {
    throw std::runtime_error("Overflow: record id '" + std::string(text) + "' does not fit a 32-bit number");
  }
  return static_cast<int32_t>(rounded);
}

}  // namespace

fs::path EventFilePath(const ServiceState& state) { return state.AppFolder / "Debug" / "s-logevent.txt"; }

fs::path PshTempFilePath(const ServiceState& state) { return state.AppFolder / "temp" / "s-logwinevent.tmp"; }

void Read_ini(ServiceContext& ctx) {
  ctx.state.PolicyCommand = std::string(events::kDefaultPolicyCommand);
  try {
    const fs::path ini = ctx.state.AppFolder / "Corvane.ini";
    if (!fs::exists(ini)) return;
    if (!fs::is_regular_file(ini)) {
      throw std::runtime_error("Cannot read file '" + ini.string() + "': not a regular file");
    }
    ctx.state.PolicyCommand = events::ApplyIniText(platform::ReadWholeFile(ini), ctx.state.PolicyCommand);
  } catch (const std::exception& e) {
    ctx.WriteAppEvent(kModule, "Read_ini", e.what(), EntryType::kError);
  }
}

bool PshRunCmd(ServiceContext& ctx, std::string_view command) {
  try {
    const auto run = events::RunPowerShell(
        ctx.clock, [&ctx](int16_t ms) { ctx.PauseWithEvents(ms); }, ctx.state.AppFolder, command,
        kServiceRunnerTimes);
    return run.outcome == events::PshOutcome::kEnded;
  } catch (const std::exception& e) {
    ctx.WriteAppEvent(kModule, "PshRunCmd", e.what(), EntryType::kError);
    return false;
  }
}

void GetEventLogPsh(ServiceContext& ctx, std::string_view log, int32_t max_events) {
  try {
    const fs::path event_file = EventFilePath(ctx.state);
    const fs::path temp_file = PshTempFilePath(ctx.state);
    std::ofstream out(event_file, std::ios::binary | std::ios::app);
    if (!out) throw std::runtime_error("Cannot open file for appending '" + event_file.string() + "'");

    const std::string command =
        events::BuildEventCommand(ctx.state.PolicyCommand, log, max_events, temp_file);
    // An output left by an earlier command must never pass for this one's,
    // as it would when PowerShell fails before opening its output.
    std::error_code error;
    fs::remove(temp_file, error);
    if (error) {
      throw std::runtime_error("Cannot remove the temporary file '" + temp_file.string() +
                               "': " + error.message());
    }

    ctx.PauseWithEvents(50);
    if (!PshRunCmd(ctx, command)) {
      out.close();
      ctx.WriteAppEvent(kModule, "GetEventLogPsh", "\r\n" + command, EntryType::kError);
      return;
    }
    if (!fs::exists(temp_file)) {
      out.close();
      ctx.PauseWithEvents(2000);
      return;
    }
    const auto parsed = events::ParseEventList(platform::ReadWholeFile(temp_file));
    for (const auto& record : parsed.records) out << events::FormatEventLine(record) << "\r\n";
    out.close();
    if (!out) throw std::runtime_error("Cannot write file '" + event_file.string() + "'");
    if (parsed.error) throw std::runtime_error(*parsed.error);
    ctx.PauseWithEvents(2000);
  } catch (const std::exception& e) {
    ctx.WriteAppEvent(kModule, "GetEventLogPsh", e.what(), EntryType::kError);
  }
}

void GetEventIndex(ServiceContext& ctx) {
  try {
    const fs::path event_file = EventFilePath(ctx.state);
    if (!fs::exists(event_file)) return;
    const auto lines = platform::ReadTextLines(event_file);
    for (size_t i = 1; i < lines.size(); ++i) {
      const auto fields = events::SplitEventIndexFields(lines[i]);
      if (!fields) continue;
      for (auto& slot : ctx.state.log_slots) {
        if (slot.Log != fields->log_name) continue;
        slot.LastRecordId = RecordIdValue(fields->record_id);
        const auto when = platform::ParseDateTime(fields->time_created);
        if (!when) {
          throw std::runtime_error("Type mismatch: '" + std::string(fields->time_created) +
                                   "' is not a date and time");
        }
        slot.LastEventTime = *when;
      }
    }
  } catch (const std::exception& e) {
    ctx.WriteAppEvent(kModule, "GetEventIndex", e.what(), EntryType::kError);
  }
}

}  // namespace corvane::service
