#pragma once
// Reading the three configuration tables with the conversions the service
// applies. Each read opens its own connection and closes it again before it
// returns, so the console's changes show at the next read.

#include <string_view>
#include <vector>

#include "common/database/database.h"
#include "common/database/settings.h"

namespace corvane {

// Which columns a read of Settings_General takes: the service reads the
// watchdog columns only at a poll and the schema version only at its start.
enum class SettingsRead { kAtStart, kAtPoll };

// From the first record of an open Settings_General record set.
GeneralSettings ReadGeneralSettings(const Recordset& rs, SettingsRead which);
GeneralSettings ReadGeneralSettings(std::string_view connect_string, SettingsRead which);

// Every Event_Log row in table order.
std::vector<MonitoredLog> ReadMonitoredLogs(std::string_view connect_string);

// The Event_Filter rows whose Enabled is true (Null counts as false), in
// table order; a Null in a text column of such a row fails the read.
std::vector<FilterRule> ReadEnabledFilterRules(std::string_view connect_string);

// LogCheckInterval's minutes as seconds (value × 60, as signed 32-bit).
int32_t IntervalSeconds(const Recordset& rs, std::string_view column);

}  // namespace corvane
