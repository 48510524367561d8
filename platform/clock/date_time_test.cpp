#include "platform/clock/date_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace corvane::platform {
namespace {

TEST(DateTimeTest, TextFormRoundTrips) {
  const auto t = MakeLocalTime(2024, 3, 14, 9, 5, 7);
  ASSERT_TRUE(t);
  EXPECT_EQ(FormatDateTime(*t), "2024-03-14 09:05:07");
  EXPECT_EQ(ParseDateTime("2024-03-14 09:05:07"), t);
  EXPECT_EQ(FormatDateTime(*ParseDateTime("2024-03-14")), "2024-03-14 00:00:00");
  EXPECT_EQ(LocalHour(*t), 9);
}

TEST(DateTimeTest, RejectsWhatIsNotTheTextForm) {
  for (const char* text : {"", "2024-3-14", "2024-02-30", "2024-03-14 24:00:00", "2024-03-14T09:05:07",
                           "2024-03-14 09:05", "abcd-ef-gh", "2024-03-14 09:05:07 "}) {
    EXPECT_FALSE(ParseDateTime(text)) << text;
  }
}

TEST(DateTimeTest, CalendarDaysCountDateBoundaries) {
  const auto late = *ParseDateTime("2024-02-28 23:59:59");
  EXPECT_EQ(CalendarDaysBetween(late, *ParseDateTime("2024-02-29 00:00:00")), 1);
  EXPECT_EQ(CalendarDaysBetween(late, *ParseDateTime("2024-03-01 00:00:00")), 2);
  EXPECT_EQ(CalendarDaysBetween(*ParseDateTime("2024-02-28"), late), 0);
  EXPECT_EQ(CalendarDaysBetween(*ParseDateTime("2024-03-01"), late), -2);
}

TEST(DateTimeTest, LocalDatesFollowTheTimeZone) {
  // Across a daylight-saving change a day is 23 hours long but one boundary.
  setenv("TZ", "Europe/Berlin", 1);
  tzset();
  const auto before = *ParseDateTime("2024-03-30 12:00:00");
  const auto after = *ParseDateTime("2024-03-31 12:00:00");
  EXPECT_EQ(after - before, std::chrono::hours(23));
  EXPECT_EQ(CalendarDaysBetween(before, after), 1);
  EXPECT_EQ(FormatDateTime(after), "2024-03-31 12:00:00");
  setenv("TZ", "UTC", 1);
  tzset();
}

}  // namespace
}  // namespace corvane::platform
