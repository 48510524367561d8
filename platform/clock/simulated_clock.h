#pragma once
// A clock for tests that does not tick on its own: time moves only when code
// sleeps on it or the test advances it. Timers fire from ProcessEvents (as a
// window timer fires from the message loop) and from Advance.

#include <functional>
#include <vector>

#include "platform/clock/clock.h"

namespace corvane::platform {

class SimulatedClock final : public Clock {
 public:
  explicit SimulatedClock(TimePoint start);
  ~SimulatedClock() override;

  TimePoint Now() const override { return now_; }
  // Moves virtual time on at once; fires nothing by itself.
  void Sleep(Duration duration) override;
  std::unique_ptr<Timer> CreateTimer() override;
  // Fires every timer that is due (each once), then the extra processor.
  void ProcessEvents() override;

  // Runs the virtual event loop for `duration`: time jumps to each timer's
  // due moment in turn and the timer fires there, as a real loop would.
  void Advance(Duration duration);
  void AdvanceTo(TimePoint when);

  // Extra event processing run by ProcessEvents and Advance, for tests that
  // also need Qt's events (socket notifiers) handled on this thread.
  void SetEventProcessor(std::function<void()> processor) { processor_ = std::move(processor); }

  // How many times Sleep was called and for how long in all; lets a test see
  // that a pause happened without waiting for it.
  int sleep_count() const { return sleep_count_; }
  Duration slept() const { return slept_; }

 private:
  class SimTimer;
  friend class SimTimer;

  SimTimer* NextDue(TimePoint limit) const;
  void Fire(SimTimer& timer);

  TimePoint now_;
  std::vector<SimTimer*> timers_;
  std::function<void()> processor_;
  int sleep_count_ = 0;
  Duration slept_{0};
};

}  // namespace corvane::platform
