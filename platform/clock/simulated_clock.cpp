#include "platform/clock/simulated_clock.h"

#include <algorithm>

namespace corvane::platform {

class SimulatedClock::SimTimer final : public Timer {
 public:
  explicit SimTimer(SimulatedClock& clock) : clock_(&clock) { clock_->timers_.push_back(this); }
  ~SimTimer() override {
    if (clock_ != nullptr) std::erase(clock_->timers_, this);
  }

  void SetInterval(Duration interval) override {
    interval_ = interval;
    if (active_) due_ = Base() + interval_;
  }
  Duration Interval() const override { return interval_; }
  void Start() override {
    active_ = true;
    due_ = Base() + interval_;
  }
  void Stop() override { active_ = false; }
  bool IsActive() const override { return active_; }

  TimePoint due() const { return due_; }
  // As a window timer does: the next tick is one interval after the due one,
  // or one interval from now when the loop fell behind (no burst of ticks).
  void Reschedule(TimePoint now) {
    const Duration step = std::max(interval_, Duration(1));
    due_ += step;
    if (due_ < now) due_ = now + step;
  }
  void Detach() { clock_ = nullptr; }

 private:
  TimePoint Base() const { return clock_ != nullptr ? clock_->now_ : TimePoint{}; }

  SimulatedClock* clock_;
  Duration interval_{0};
  TimePoint due_{};
  bool active_ = false;
};

SimulatedClock::SimulatedClock(TimePoint start) : now_(start) {}

SimulatedClock::~SimulatedClock() {
  for (SimTimer* timer : timers_) timer->Detach();
}

void SimulatedClock::Sleep(Duration duration) {
  ++sleep_count_;
  if (duration.count() > 0) {
    slept_ += duration;
    now_ += duration;
  }
}

std::unique_ptr<Timer> SimulatedClock::CreateTimer() { return std::make_unique<SimTimer>(*this); }

SimulatedClock::SimTimer* SimulatedClock::NextDue(TimePoint limit) const {
  SimTimer* next = nullptr;
  for (SimTimer* timer : timers_) {
    if (!timer->IsActive() || timer->due() > limit) continue;
    if (next == nullptr || timer->due() < next->due()) next = timer;
  }
  return next;
}

void SimulatedClock::Fire(SimTimer& timer) {
  // Rescheduled before the handler runs, so a handler that pauses sees the
  // next tick when its time comes, as with a window timer.
  timer.Reschedule(now_);
  if (timer.on_timeout) timer.on_timeout();
}

void SimulatedClock::ProcessEvents() {
  // Each due timer fires at most once per call; collect first, because a
  // handler may create or destroy timers.
  std::vector<SimTimer*> due;
  for (SimTimer* timer : timers_) {
    if (timer->IsActive() && timer->due() <= now_) due.push_back(timer);
  }
  std::sort(due.begin(), due.end(), [](SimTimer* a, SimTimer* b) { return a->due() < b->due(); });
  for (SimTimer* timer : due) {
    if (std::find(timers_.begin(), timers_.end(), timer) == timers_.end()) continue;
    if (!timer->IsActive() || timer->due() > now_) continue;
    Fire(*timer);
  }
  if (processor_) processor_();
}

void SimulatedClock::AdvanceTo(TimePoint when) {
  while (SimTimer* timer = NextDue(when)) {
    if (timer->due() > now_) now_ = timer->due();
    Fire(*timer);
    if (processor_) processor_();
  }
  if (when > now_) now_ = when;
  if (processor_) processor_();
}

void SimulatedClock::Advance(Duration duration) { AdvanceTo(now_ + duration); }

}  // namespace corvane::platform
