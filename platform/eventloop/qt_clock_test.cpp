#include "platform/eventloop/qt_clock.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

namespace corvane::platform {
namespace {

using namespace std::chrono_literals;

// The real clock's pause must hand control to Qt's loop, or no socket
// notification or tick could run inside a pause.
TEST(QtClockTest, PauseProcessesQtEventsAndTimersFire) {
  int argc = 0;
  QCoreApplication app(argc, nullptr);
  QtClock clock;
  bool posted = false;
  QTimer::singleShot(0, [&] { posted = true; });
  auto timer = clock.CreateTimer();
  int ticks = 0;
  timer->on_timeout = [&] { ++ticks; };
  timer->SetInterval(10ms);
  timer->Start();
  EXPECT_TRUE(timer->IsActive());
  const auto before = clock.Now();
  PauseWithEvents(clock, 60ms, 10ms);
  EXPECT_GE(clock.Now() - before, 60ms);
  EXPECT_TRUE(posted);
  EXPECT_GE(ticks, 1);
  timer->Stop();
  EXPECT_FALSE(timer->IsActive());
}

}  // namespace
}  // namespace corvane::platform
