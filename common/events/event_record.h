#pragma once
// One event-log entry as both programs carry it: ten texts, in the order of
// the event file's columns. The texts are kept exactly as PowerShell printed
// them; interpretation (severity number, record id) is the reader's users'.

#include <string>

namespace corvane {

struct EventRecord {
  std::string LogName = "n/a";
  std::string RecordId = "0";
  std::string TimeCreated = "2000-01-01 00:00:00";
  std::string Level = "3 - Information";
  std::string Source = "n/a";
  std::string Category = "n/a";
  std::string EventID = "0";
  std::string UserName = "n/a";
  std::string MachineName = "n/a";
  std::string Message = "n/a";

  bool operator==(const EventRecord&) const = default;
};

}  // namespace corvane
