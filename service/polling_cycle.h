#pragma once
// The polling cycle: the work of a timer tick whose countdown has run out.
// A poll reloads the settings and the monitored logs, reads the newest
// entries of every log into the event file, filters them, reports the log
// slots, and after midnight runs the daily work.

#include <cstdint>

#include "platform/clock/clock.h"
#include "service/filter_engine.h"
#include "service/service_context.h"

namespace corvane::service {

// From the first poll on the timer ticks every 30 seconds.
inline constexpr platform::Duration kTimerPollInterval{30000};

// One poll. A call while a poll is already running (a tick handled inside
// one of its pauses) returns at once. Catches its own failures.
void PollingCycle(ServiceContext& context, platform::Timer& timer1, const FilterSenders& senders);

// Entries read per log and poll for a polling interval in seconds; 0 for an
// interval at which the logs are not read.
int32_t EntriesPerPoll(int32_t interval_seconds);

// The first poll after midnight: the silent-log watchdog, application-log
// pruning, the report files, the duplicate list and the database backup.
// Throws when the report files cannot be deleted.
void DailyWork(ServiceContext& context);

}  // namespace corvane::service
