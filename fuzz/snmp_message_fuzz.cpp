// Feeds arbitrary text to the trap message's setters, as the database's
// addresses, object identifiers and event texts would reach them. Whatever
// the setters accept must encode to a well-formed message: every length
// matches what follows it, and every constructed part holds whole parts.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/snmp/snmp_error.h"
#include "platform/snmp/snmp_message.h"

namespace {

// The fields of the input, separated by NUL bytes.
std::vector<std::string_view> Fields(std::string_view bytes) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  while (start <= bytes.size() && fields.size() < 64) {
    const size_t end = bytes.find('\0', start);
    fields.push_back(
        bytes.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return fields;
}

// Walks one TLV at `at`; returns the offset after it, or 0 when malformed.
size_t Walk(const std::vector<uint8_t>& b, size_t at, size_t limit) {
  if (at + 2 > limit) return 0;
  const uint8_t tag = b[at];
  size_t length = b[at + 1];
  size_t pos = at + 2;
  if (length & 0x80) {
    const size_t octets = length & 0x7F;
    if (octets == 0 || octets > 4 || pos + octets > limit) return 0;
    if (b[pos] == 0) return 0;  // not the shortest form
    length = 0;
    for (size_t i = 0; i < octets; ++i) length = (length << 8) | b[pos++];
    if (length < 0x80) return 0;
  }
  if (pos + length > limit) return 0;
  if (tag & 0x20) {  // constructed: whole parts up to its end
    size_t inner = pos;
    while (inner < pos + length) {
      inner = Walk(b, inner, pos + length);
      if (inner == 0) return 0;
    }
  }
  return pos + length;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace corvane::platform;
  const auto fields = Fields(std::string_view(reinterpret_cast<const char*>(data), size));
  auto field = [&](size_t i) { return i < fields.size() ? fields[i] : std::string_view(); };

  SnmpTrapMessage message;
  try {
    message.SetCommunity(field(0));
    message.SetMessageType(kSnmpTrapMessageType);
    message.SetEnterprise(field(1));
    message.SetAgentAddress(field(2));
    message.SetGenericTrap(6);
    message.SetSpecificTrap(1);
    message.SetTimeStamp(static_cast<int64_t>(field(3).size()) * 99991);
  } catch (const SnmpError&) {
    return 0;
  }
  for (size_t i = 4; i + 2 < fields.size(); i += 3) {
    try {
      SnmpVariable variable;
      variable.SetObjectId(fields[i]);
      variable.SetTypeCode(fields[i + 1].size() % 2 == 0 ? kSnmpTypeInteger : kSnmpTypeOctetString);
      variable.SetValue(fields[i + 2]);
      message.AppendVariable(variable);
    } catch (const SnmpError&) {
    }
  }
  const std::vector<uint8_t> encoded = message.Encode();
  if (Walk(encoded, 0, encoded.size()) != encoded.size()) __builtin_trap();
  return 0;
}
