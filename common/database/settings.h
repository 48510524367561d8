#pragma once
// The configuration records as the programs hold them in memory, one field
// per column, named after the column.

#include <cstdint>
#include <string>

namespace corvane {

// The one Settings_General record. LogCheckInterval is kept in seconds, as
// the service works with it (the column holds minutes).
struct GeneralSettings {
  std::string NmsIpAddr;
  int16_t NmsPort = 0;
  std::string SyslogIpAddr;
  int16_t SyslogPort = 0;
  std::string SourceIpAddr;
  int16_t SourcePort = 0;
  int32_t LogCheckInterval = 0;
  int16_t SendMaxTraps = 0;
  bool DropDuplicate = false;
  std::string DropDupMess;
  bool CaseSensitive = false;
  bool TrapNoEvent = false;
  int16_t NoEventDays = 0;
  std::string ProgVersion;
};

// One Event_Log row: a monitored log.
struct MonitoredLog {
  std::string Log;
};

// One Event_Filter row; the order of rules is table order.
struct FilterRule {
  bool Enabled = false;
  std::string Log;
  std::string SeverityExp;
  std::string Severity;
  std::string Source;
  std::string Category;
  std::string EventID;
  std::string UserName;
  std::string Computer;
  std::string Message;
  std::string Action;
};

}  // namespace corvane
