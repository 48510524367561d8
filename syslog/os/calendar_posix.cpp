#include <ctime>

#include "syslog/os/calendar.h"

namespace ostrel::os {

HeaderTime CalendarTime(corvane::platform::TimePoint when, bool local) {
  const std::time_t seconds =
      std::chrono::system_clock::to_time_t(std::chrono::floor<std::chrono::seconds>(when));
  std::tm fields{};
  const bool ok =
      local ? localtime_r(&seconds, &fields) != nullptr : gmtime_r(&seconds, &fields) != nullptr;
  if (!ok) return {};
  return {fields.tm_mon + 1, fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec};
}

}  // namespace ostrel::os
