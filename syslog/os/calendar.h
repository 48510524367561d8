#pragma once
// Calendar fields of a moment, in UTC or in the machine's local time zone.

#include "platform/clock/clock.h"
#include "syslog/packet_composer.h"

namespace ostrel::os {

// A month of 0 means the conversion failed.
HeaderTime CalendarTime(corvane::platform::TimePoint when, bool local);

}  // namespace ostrel::os
