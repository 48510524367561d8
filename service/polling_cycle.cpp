#include "service/polling_cycle.h"

#include <stdexcept>
#include <string>

#include "common/database/config_tables.h"
#include "common/events/event_file.h"
#include "platform/clock/date_time.h"
#include "service/diagnostics.h"
#include "service/event_reader.h"

namespace corvane::service {
namespace {

constexpr std::string_view kForm = "frmCorvaneSrv";
constexpr std::string_view kProcedure = "timer1";

class RunningFlag {
 public:
  explicit RunningFlag(bool& flag) : flag_(flag) { flag_ = true; }
  ~RunningFlag() { flag_ = false; }
  RunningFlag(const RunningFlag&) = delete;
  RunningFlag& operator=(const RunningFlag&) = delete;

 private:
  bool& flag_;
};

// Copies each name first: a pause inside the reader may run other handlers.
template <typename Function>
void ForEachNamedSlot(const ServiceState& state, Function function) {
  for (const LogSlot& slot : state.log_slots) {
    if (const std::string log = slot.Log; !log.empty()) function(log);
  }
}

void LoadSettingsAndLogs(ServiceContext& context) {
  ServiceState& state = context.state;
  GeneralSettings settings = ReadGeneralSettings(state.DbConnectString, SettingsRead::kAtPoll);
  settings.ProgVersion = state.settings.ProgVersion;  // read at the start only
  state.settings = std::move(settings);
  state.SecondsToNextPoll = state.settings.LogCheckInterval;

  const std::vector<MonitoredLog> logs = ReadMonitoredLogs(state.DbConnectString);
  if (logs.size() > static_cast<size_t>(kMaxLogSlots)) {
    throw std::runtime_error("Subscript out of range: more than " + std::to_string(kMaxLogSlots) +
                             " monitored logs");
  }
  for (size_t k = 0; k < state.log_slots.size(); ++k) {
    LogSlot& slot = state.log_slots[k];
    if (k < logs.size()) {
      slot.Log = logs[k].Log;
      if (state.FirstCycle) slot.LastRecordId = 0;
    } else {
      slot.Log.clear();
    }
  }
}

}  // namespace

int32_t EntriesPerPoll(int32_t interval_seconds) {
  switch (interval_seconds) {
    case 60:
    case 120:
      return 100;
    case 180:
    case 240:
    case 300:
    case 600:
      return 200;
    default:
      return 0;
  }
}

void DailyWork(ServiceContext& context) {
  ServiceState& state = context.state;
  if (state.settings.TrapNoEvent) {
    const platform::TimePoint now = context.clock.Now();
    for (const LogSlot& slot : state.log_slots) {
      if (slot.Log.empty()) continue;
      if (platform::CalendarDaysBetween(slot.LastEventTime, now) > state.settings.NoEventDays) {
        context.WriteAppEvent(kForm, kProcedure,
                              "No New Entries in Log: " + slot.Log + " For " +
                                  std::to_string(state.settings.NoEventDays) +
                                  " Days (possible due to corrupt log)",
                              EntryType::kInformation);
      }
    }
  }
  ClearDebugDir_AET(context);
  DeleteDailyReports(context);
  state.SentKeyList.Reset();
  BackupDatabase(context);
}

void PollingCycle(ServiceContext& context, platform::Timer& timer1, const FilterSenders& senders) {
  ServiceState& state = context.state;
  if (state.poll_running) return;
  const RunningFlag running(state.poll_running);
  try {
    if (state.FirstCycle) timer1.SetInterval(kTimerPollInterval);
    LoadSettingsAndLogs(context);
    events::CreateEventFile(EventFilePath(state));
    if (state.FirstCycle) {
      // The newest entry of each log only marks where forwarding starts:
      // what was in the logs before the start is never sent.
      ForEachNamedSlot(state, [&](const std::string& log) { GetEventLogPsh(context, log, 1); });
      GetEventIndex(context);
      timer1.SetInterval(kTimerPollInterval);
      context.PauseWithEvents(1000);
      state.FirstCycle = false;
    }
    if (const int32_t entries = EntriesPerPoll(state.settings.LogCheckInterval); entries > 0) {
      ForEachNamedSlot(state, [&](const std::string& log) { GetEventLogPsh(context, log, entries); });
    }
    FilterTest(context, senders);
    AppendSlotReport(context);
    const int hour = platform::LocalHour(context.clock.Now());
    if (hour < state.StoredHour) DailyWork(context);
    state.StoredHour = static_cast<int16_t>(hour);
  } catch (const std::exception& e) {
    context.WriteAppEvent(kForm, kProcedure, e.what(), EntryType::kError);
  }
}

}  // namespace corvane::service
