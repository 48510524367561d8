#include "syslog/packet_composer.h"

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
  // Fields are held to two digits so a bad clock cannot widen the header.
  auto two = [](std::string& out, int value, char pad) {
    value = value < 0 ? 0 : value % 100;
    out.push_back(value < 10 ? pad : static_cast<char>('0' + value / 10));
    out.push_back(static_cast<char>('0' + value % 10));
  };
  std::string header(kMonths[time.month - 1]);
  two(header, time.day, ' ');
  header.push_back(' ');
  two(header, time.hour, '0');
  header.push_back(':');
  two(header, time.minute, '0');
  header.push_back(':');
  two(header, time.second, '0');
  header.push_back(' ');
  return header;
}

std::string ComposePacket(int16_t facility, int16_t severity, const HeaderTime& time,
                          std::string_view host, std::string_view message) {
  std::string header = ComposeHeader(time);
  if (header.empty()) return {};
  std::string packet;
  packet.reserve(6 + header.size() + host.size() + message.size());
  packet.push_back('<');
  packet.append(std::to_string(unsigned{PriorityValue(facility, severity)}));
  packet.push_back('>');
  packet.append(header).append(host).append(" ").append(message);
  return packet;
}

}  // namespace ostrel
