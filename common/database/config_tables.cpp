#include "common/database/config_tables.h"

#include <limits>

namespace corvane {

int32_t IntervalSeconds(const Recordset& rs, std::string_view column) {
  // Read wide first so a large minute count fails as an overflow of the
  // seconds rather than wrapping.
  const int64_t minutes = AsInt32(rs, column);
  const int64_t seconds = minutes * 60;
  if (seconds < std::numeric_limits<int32_t>::min() || seconds > std::numeric_limits<int32_t>::max()) {
    throw DatabaseError("Overflow (" + rs.table() + "." + std::string(column) + ")");
  }
  return static_cast<int32_t>(seconds);
}

GeneralSettings ReadGeneralSettings(const Recordset& rs, SettingsRead which) {
  GeneralSettings s;
  s.NmsIpAddr = AsText(rs, "NmsIpAddr");
  s.NmsPort = AsInt16(rs, "NmsPort");
  s.SyslogIpAddr = AsText(rs, "SyslogIpAddr");
  s.SyslogPort = AsInt16(rs, "SyslogPort");
  s.SourceIpAddr = AsText(rs, "SourceIpAddr");
  s.SourcePort = AsInt16(rs, "SourcePort");
  s.LogCheckInterval = IntervalSeconds(rs, "LogCheckInterval");
  s.SendMaxTraps = AsInt16(rs, "SendMaxTraps");
  s.DropDuplicate = AsBool(rs, "DropDuplicate");
  s.DropDupMess = AsText(rs, "DropDupMess");
  s.CaseSensitive = AsBool(rs, "CaseSensitive");
  if (which == SettingsRead::kAtPoll) {
    s.TrapNoEvent = AsBool(rs, "TrapNoEvent");
    s.NoEventDays = AsInt16(rs, "NoEventDays");
  } else {
    s.ProgVersion = AsText(rs, "ProgVersion");
  }
  return s;
}

GeneralSettings ReadGeneralSettings(std::string_view connect_string, SettingsRead which) {
  Connection connection = Connection::Open(connect_string);
  Recordset rs = Recordset::Open(connection, "Settings_General");
  return ReadGeneralSettings(rs, which);
}

std::vector<MonitoredLog> ReadMonitoredLogs(std::string_view connect_string) {
  Connection connection = Connection::Open(connect_string);
  Recordset rs = Recordset::Open(connection, "Event_Log");
  std::vector<MonitoredLog> logs;
  for (; !rs.Eof(); rs.MoveNext()) logs.push_back({AsText(rs, "Log")});
  return logs;
}

std::vector<FilterRule> ReadEnabledFilterRules(std::string_view connect_string) {
  Connection connection = Connection::Open(connect_string);
  Recordset rs = Recordset::Open(connection, "Event_Filter");
  std::vector<FilterRule> rules;
  for (; !rs.Eof(); rs.MoveNext()) {
    if (!AsBoolNullFalse(rs, "Enabled")) continue;
    FilterRule rule;
    rule.Enabled = true;
    rule.Log = AsText(rs, "Log");
    rule.SeverityExp = AsText(rs, "SeverityExp");
    rule.Severity = AsText(rs, "Severity");
    rule.Source = AsText(rs, "Source");
    rule.Category = AsText(rs, "Category");
    rule.EventID = AsText(rs, "EventID");
    rule.UserName = AsText(rs, "UserName");
    rule.Computer = AsText(rs, "Computer");
    rule.Message = AsText(rs, "Message");
    rule.Action = AsText(rs, "Action");
    rules.push_back(std::move(rule));
  }
  return rules;
}

}  // namespace corvane
