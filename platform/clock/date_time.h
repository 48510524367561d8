#pragma once
// The system's date-time text form, "YYYY-MM-DD HH:MM:SS" on a 24-hour clock
// in local time, and the calendar arithmetic the service does on local dates.

#include <optional>
#include <string>
#include <string_view>

#include "platform/clock/clock.h"

namespace corvane::platform {

std::string FormatDateTime(TimePoint when);
// Reads "YYYY-MM-DD HH:MM:SS" or "YYYY-MM-DD" (midnight); nothing else.
std::optional<TimePoint> ParseDateTime(std::string_view text);
// Builds a local time from its fields; nothing for an invalid date or time.
std::optional<TimePoint> MakeLocalTime(int year, int month, int day, int hour = 0, int minute = 0,
                                       int second = 0);

int LocalHour(TimePoint when);
// Calendar-day boundaries crossed from `from` to `to` on local dates;
// negative when `to` lies on an earlier date.
int CalendarDaysBetween(TimePoint from, TimePoint to);

}  // namespace corvane::platform
