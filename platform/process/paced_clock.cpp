#include "platform/process/paced_clock.h"

#include <thread>

namespace corvane::platform {

void PacedClock::Sleep(Duration duration) {
  simulated_.Sleep(duration);
  if (duration.count() > 0) {
    std::this_thread::sleep_for(std::chrono::microseconds(duration) / slowdown_);
  }
}

}  // namespace corvane::platform
