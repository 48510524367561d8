#pragma once
// The real clock on Qt's event loop: wall-clock time, real sleeps, QTimer
// timers, and QCoreApplication::processEvents as the event processing. The
// programs create one after their QCoreApplication and hand it down.

#include "platform/clock/clock.h"

namespace corvane::platform {

class QtClock final : public Clock {
 public:
  TimePoint Now() const override;
  void Sleep(Duration duration) override;
  std::unique_ptr<Timer> CreateTimer() override;
  void ProcessEvents() override;
};

}  // namespace corvane::platform
