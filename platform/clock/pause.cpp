#include "platform/clock/clock.h"

namespace corvane::platform {

void PauseWithEvents(Clock& clock, Duration total, Duration slice) {
  if (slice.count() <= 0 || total < slice) return;
  const auto slices = total / slice;
  for (auto i = decltype(slices){0}; i < slices; ++i) {
    clock.Sleep(slice);
    clock.ProcessEvents();
  }
}

}  // namespace corvane::platform
