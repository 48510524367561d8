#pragma once
// The RFC 3164 packet SendPacket writes: "<PRI>Mmm dd hh:mm:ss HOST MSG".
// A pure function of its inputs; the caller reads the clock and picks the
// host text.

#include <cstdint>
#include <string>
#include <string_view>

namespace ostrel {

// The calendar fields of the moment a packet is stamped with.
struct HeaderTime {
  int month = 0;  // 1 to 12
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// (facility × 8 + (severity AND 7)) AND 255, with no range check.
uint8_t PriorityValue(int16_t facility, int16_t severity);
// The 16-byte header ("Dec  9 08:05:07 "); empty when the month is not 1 to 12.
std::string ComposeHeader(const HeaderTime& time);
// The whole packet, or empty when the month is not 1 to 12.
std::string ComposePacket(int16_t facility, int16_t severity, const HeaderTime& time,
                          std::string_view host, std::string_view message);

}  // namespace ostrel
