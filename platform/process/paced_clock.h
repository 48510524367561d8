#pragma once
// A clock for tests that wait on real child processes: virtual time as in
// SimulatedClock, but every sleep also lets a fraction of it pass for real,
// so a child started by the code under test gets the chance to run. With the
// default slowdown of 20, the runner's 20-second deadline is one real second.

#include <memory>

#include "platform/clock/simulated_clock.h"

namespace corvane::platform {

class PacedClock final : public Clock {
 public:
  explicit PacedClock(TimePoint start, int slowdown = 20) : simulated_(start), slowdown_(slowdown) {}

  TimePoint Now() const override { return simulated_.Now(); }
  void Sleep(Duration duration) override;
  std::unique_ptr<Timer> CreateTimer() override { return simulated_.CreateTimer(); }
  void ProcessEvents() override { simulated_.ProcessEvents(); }

  SimulatedClock& simulated() { return simulated_; }

 private:
  SimulatedClock simulated_;
  int slowdown_;
};

}  // namespace corvane::platform
