#include <gtest/gtest.h>

#include "platform/clock/simulated_clock.h"

namespace corvane::platform {
namespace {

using namespace std::chrono_literals;

TEST(SimulatedClockTest, TimerFiresAtItsIntervalWhileTheLoopRuns) {
  SimulatedClock clock(TimePoint{} + 1000s);
  auto timer = clock.CreateTimer();
  std::vector<TimePoint> fired;
  timer->on_timeout = [&] { fired.push_back(clock.Now()); };
  timer->SetInterval(5000ms);
  timer->Start();
  clock.Advance(12s);
  ASSERT_EQ(fired.size(), 2u);
  EXPECT_EQ(fired[0], TimePoint{} + 1005s);
  EXPECT_EQ(fired[1], TimePoint{} + 1010s);
  EXPECT_EQ(clock.Now(), TimePoint{} + 1012s);
  // A new interval counts from now.
  timer->SetInterval(30000ms);
  clock.Advance(29s);
  EXPECT_EQ(fired.size(), 2u);
  clock.Advance(1s);
  EXPECT_EQ(fired.size(), 3u);
  timer->Stop();
  clock.Advance(1h);
  EXPECT_EQ(fired.size(), 3u);
}

TEST(SimulatedClockTest, TicksArriveInsideAPauseOfAHandler) {
  SimulatedClock clock(TimePoint{});
  auto timer = clock.CreateTimer();
  int ticks = 0;
  int nested = 0;
  bool in_handler = false;
  timer->on_timeout = [&] {
    ++ticks;
    if (in_handler) {
      ++nested;
      return;
    }
    in_handler = true;
    PauseWithEvents(clock, 2500ms, 10ms);  // longer than two intervals
    in_handler = false;
  };
  timer->SetInterval(1000ms);
  timer->Start();
  clock.Advance(1s);
  EXPECT_EQ(nested, 2);
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(clock.Now(), TimePoint{} + 3500ms);
}

TEST(PauseWithEventsTest, SlicesDiscardTheFraction) {
  struct Case {
    int total_ms, slice_ms, sleeps;
  } cases[] = {{2000, 10, 200}, {15, 10, 1}, {9, 10, 0}, {0, 10, 0}, {100, 20, 5}, {30, 20, 1}};
  for (const auto& c : cases) {
    SimulatedClock clock(TimePoint{});
    PauseWithEvents(clock, Duration(c.total_ms), Duration(c.slice_ms));
    EXPECT_EQ(clock.sleep_count(), c.sleeps) << c.total_ms << "/" << c.slice_ms;
    EXPECT_EQ(clock.slept(), Duration(c.sleeps * c.slice_ms));
  }
}

TEST(SimulatedClockTest, DestroyedTimerNeverFires) {
  SimulatedClock clock(TimePoint{});
  int fired = 0;
  {
    auto timer = clock.CreateTimer();
    timer->on_timeout = [&] { ++fired; };
    timer->SetInterval(10ms);
    timer->Start();
  }
  clock.Advance(1s);
  EXPECT_EQ(fired, 0);
}

}  // namespace
}  // namespace corvane::platform
