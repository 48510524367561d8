#pragma once
// The one source of time, waiting and timers for the whole system. Code reads
// the wall clock, sleeps and starts timers only through a Clock handed to it,
// so tests can pass a SimulatedClock and run a day of polls in milliseconds.
// This header uses no Qt: the real clock on Qt's event loop lives in
// platform/eventloop.

#include <chrono>
#include <functional>
#include <memory>

namespace corvane::platform {

using TimePoint = std::chrono::system_clock::time_point;
using Duration = std::chrono::milliseconds;

// A repeating timer, like a window timer: it fires only while its thread
// processes events, and a handler that processes events may see it fire again.
class Timer {
 public:
  virtual ~Timer() = default;

  std::function<void()> on_timeout;

  // Takes effect at once: an active timer counts the new interval from now.
  virtual void SetInterval(Duration interval) = 0;
  virtual Duration Interval() const = 0;
  virtual void Start() = 0;
  virtual void Stop() = 0;
  virtual bool IsActive() const = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;

  virtual TimePoint Now() const = 0;
  virtual void Sleep(Duration duration) = 0;
  virtual std::unique_ptr<Timer> CreateTimer() = 0;
  // Handles what is waiting on this thread: window events and due timers.
  virtual void ProcessEvents() = 0;
};

// Sleeps `total / slice` slices (the fraction discarded), processing events
// after each; a total below one slice does not pause at all.
void PauseWithEvents(Clock& clock, Duration total, Duration slice);

}  // namespace corvane::platform
