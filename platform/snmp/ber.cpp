#include "platform/snmp/ber.h"

namespace corvane::platform::ber {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digits only, no leading zero (except "0" itself), value at most `limit`.
std::optional<uint64_t> ParseArc(std::string_view text, uint64_t limit) {
  if (text.empty() || text.size() > 20) return std::nullopt;
  if (text.size() > 1 && text[0] == '0') return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > limit) return std::nullopt;
  }
  return value;
}

void AppendBase128(Bytes& out, uint64_t value) {
  uint8_t groups[10];
  int count = 0;
  do {
    groups[count++] = static_cast<uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  while (count > 1) out.push_back(static_cast<uint8_t>(groups[--count] | 0x80));
  out.push_back(groups[0]);
}

}  // namespace

void AppendLength(Bytes& out, size_t length) {
  if (length < 0x80) {
    out.push_back(static_cast<uint8_t>(length));
    return;
  }
  int octets = 0;
  for (size_t rest = length; rest != 0; rest >>= 8) ++octets;
  out.push_back(static_cast<uint8_t>(0x80 | octets));
  for (int i = octets - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(length >> (8 * i)));
}

void AppendTlv(Bytes& out, uint8_t tag, const Bytes& content) {
  out.push_back(tag);
  AppendLength(out, content.size());
  out.insert(out.end(), content.begin(), content.end());
}

void AppendInteger(Bytes& out, int64_t value, uint8_t tag) {
  uint8_t octets[8];
  for (int i = 0; i < 8; ++i) octets[i] = static_cast<uint8_t>(static_cast<uint64_t>(value) >> (56 - 8 * i));
  // A leading octet is redundant when it only repeats the sign of the next.
  int first = 0;
  while (first < 7 && ((octets[first] == 0x00 && (octets[first + 1] & 0x80) == 0) ||
                       (octets[first] == 0xFF && (octets[first + 1] & 0x80) != 0))) {
    ++first;
  }
  out.push_back(tag);
  AppendLength(out, static_cast<size_t>(8 - first));
  out.insert(out.end(), octets + first, octets + 8);
}

void AppendOctetString(Bytes& out, std::string_view text, uint8_t tag) {
  out.push_back(tag);
  AppendLength(out, text.size());
  out.insert(out.end(), text.begin(), text.end());
}

void AppendObjectIdentifier(Bytes& out, const std::vector<uint32_t>& arcs) {
  Bytes content;
  if (arcs.size() >= 2) {
    AppendBase128(content, uint64_t{arcs[0]} * 40 + arcs[1]);
    for (size_t i = 2; i < arcs.size(); ++i) AppendBase128(content, arcs[i]);
  }
  AppendTlv(out, kObjectIdentifier, content);
}

std::optional<std::vector<uint32_t>> ParseObjectIdentifier(std::string_view text) {
  std::vector<uint32_t> arcs;
  size_t start = 0;
  while (true) {
    const size_t dot = text.find('.', start);
    const auto arc = ParseArc(text.substr(start, dot - start), UINT32_MAX);
    if (!arc) return std::nullopt;
    arcs.push_back(static_cast<uint32_t>(*arc));
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  if (arcs.size() < 2 || arcs[0] > 2 || (arcs[0] < 2 && arcs[1] >= 40)) return std::nullopt;
  return arcs;
}

std::optional<std::array<uint8_t, 4>> ParseIpv4(std::string_view text) {
  std::array<uint8_t, 4> address{};
  size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    const size_t dot = text.find('.', start);
    if ((i < 3) == (dot == std::string_view::npos)) return std::nullopt;
    const std::string_view part = text.substr(start, dot - start);
    // Leading zeros are refused: other readers take them as octal.
    const auto value = ParseArc(part, 255);
    if (!value) return std::nullopt;
    address[i] = static_cast<uint8_t>(*value);
    start = dot + 1;
  }
  return address;
}

std::optional<int32_t> ParseDecimal32(std::string_view text) {
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty() || text.size() > 10) return std::nullopt;
  int64_t value = 0;
  for (char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(value);
}

}  // namespace corvane::platform::ber
