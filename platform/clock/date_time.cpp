#include "platform/clock/date_time.h"

#include <charconv>
#include <cstdio>
#include <ctime>

namespace corvane::platform {
namespace {

std::tm LocalFields(TimePoint when) {
  const std::time_t t = std::chrono::system_clock::to_time_t(when);
  std::tm fields{};
  localtime_r(&t, &fields);
  return fields;
}

bool ReadNumber(std::string_view text, size_t pos, size_t digits, int& out) {
  if (pos + digits > text.size()) return false;
  for (size_t i = pos; i < pos + digits; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  std::from_chars(text.data() + pos, text.data() + pos + digits, out);
  return true;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const long yoe = y - era * 400;
  const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

}  // namespace

std::string FormatDateTime(TimePoint when) {
  const std::tm f = LocalFields(when);
  char buffer[80];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", f.tm_year + 1900, f.tm_mon + 1,
                f.tm_mday, f.tm_hour, f.tm_min, f.tm_sec);
  return buffer;
}

std::optional<TimePoint> MakeLocalTime(int year, int month, int day, int hour, int minute, int second) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
      minute < 0 || minute > 59 || second < 0 || second > 59) {
    return std::nullopt;
  }
  std::tm f{};
  f.tm_year = year - 1900;
  f.tm_mon = month - 1;
  f.tm_mday = day;
  f.tm_hour = hour;
  f.tm_min = minute;
  f.tm_sec = second;
  f.tm_isdst = -1;
  const std::time_t t = std::mktime(&f);
  // mktime normalises 31 April to 1 May; such a date is not a date.
  if (t == static_cast<std::time_t>(-1) || f.tm_mday != day || f.tm_mon != month - 1) {
    return std::nullopt;
  }
  return std::chrono::system_clock::from_time_t(t);
}

std::optional<TimePoint> ParseDateTime(std::string_view text) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (text.size() != 10 && text.size() != 19) return std::nullopt;
  if (!ReadNumber(text, 0, 4, year) || text[4] != '-' || !ReadNumber(text, 5, 2, month) || text[7] != '-' ||
      !ReadNumber(text, 8, 2, day)) {
    return std::nullopt;
  }
  if (text.size() == 19 &&
      (text[10] != ' ' || !ReadNumber(text, 11, 2, hour) || text[13] != ':' ||
       !ReadNumber(text, 14, 2, minute) || text[16] != ':' || !ReadNumber(text, 17, 2, second))) {
    return std::nullopt;
  }
  return MakeLocalTime(year, month, day, hour, minute, second);
}

int LocalHour(TimePoint when) { return LocalFields(when).tm_hour; }

int CalendarDaysBetween(TimePoint from, TimePoint to) {
  const std::tm a = LocalFields(from);
  const std::tm b = LocalFields(to);
  return static_cast<int>(DaysFromCivil(b.tm_year + 1900, b.tm_mon + 1, b.tm_mday) -
                          DaysFromCivil(a.tm_year + 1900, a.tm_mon + 1, a.tm_mday));
}

}  // namespace corvane::platform
