#include "syslog/packet_composer.h"

#include <cstdio>

namespace ostrel {
namespace {

constexpr const char* kMonths[12] = {"Jan ", "Feb ", "Mar ", "Apr ", "May ", "Jun ",
                                     "Jul ", "Aug ", "Sep ", "Oct ", "Nov ", "Dec "};

}  // namespace

uint8_t PriorityValue(int16_t facility, int16_t severity) {
  const unsigned shifted = static_cast<unsigned>(static_cast<uint16_t>(facility)) << 3;
  return static_cast<uint8_t>((shifted | (static_cast<unsigned>(severity) & 7u)) & 0xFFu);
}

std::string ComposeHeader(const HeaderTime& time) {
  if (time.month < 1 || time.month > 12) return {};
  // Fields are clamped into two digits so a bad clock cannot widen the header.
  auto two = [](int value) { return value < 0 ? 0 : value % 100; };
  char header[17];
  std::snprintf(header, sizeof header, "%s%2d %02d:%02d:%02d ", kMonths[time.month - 1],
                two(time.day), two(time.hour), two(time.minute), two(time.second));
  return header;
}

std::string ComposePacket(int16_t facility, int16_t severity, const HeaderTime& time,
                          std::string_view host, std::string_view message) {
  std::string header = ComposeHeader(time);
  if (header.empty()) return {};
  char priority[8];
  std::snprintf(priority, sizeof priority, "<%u>", unsigned{PriorityValue(facility, severity)});
  std::string packet;
  packet.reserve(24 + host.size() + message.size());
  packet.append(priority).append(header).append(host).append(" ").append(message);
  return packet;
}

}  // namespace ostrel
