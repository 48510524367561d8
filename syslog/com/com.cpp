#include "syslog/com/com.h"

#include <cstdio>
#include <limits>

namespace ostrel {

std::string GuidToString(const Guid& guid) {
  char text[39];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.data1,
                guid.data2, guid.data3, guid.data4[0], guid.data4[1], guid.data4[2], guid.data4[3],
                guid.data4[4], guid.data4[5], guid.data4[6], guid.data4[7]);
  return text;
}

bool GuidFromString(std::string_view text, Guid* guid) {
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
  auto hex = [&](size_t at, int digits, uint64_t* value) {
    *value = 0;
    for (int i = 0; i < digits; ++i) {
      const char c = text[at + i];
      int digit;
      if (c >= '0' && c <= '9')
        digit = c - '0';
      else if (c >= 'a' && c <= 'f')
        digit = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F')
        digit = c - 'A' + 10;
      else
        return false;
      *value = *value * 16 + digit;
    }
    return true;
  };
  if (text[9] != '-' || text[14] != '-' || text[19] != '-' || text[24] != '-') return false;
  uint64_t value;
  if (!hex(1, 8, &value)) return false;
  guid->data1 = static_cast<uint32_t>(value);
  if (!hex(10, 4, &value)) return false;
  guid->data2 = static_cast<uint16_t>(value);
  if (!hex(15, 4, &value)) return false;
  guid->data3 = static_cast<uint16_t>(value);
  const size_t byte_at[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!hex(byte_at[i], 2, &value)) return false;
    guid->data4[i] = static_cast<uint8_t>(value);
  }
  return true;
}

bool Variant::ToBool(bool* out) const {
  switch (type()) {
    case Type::kBool:
      *out = std::get<1>(value_);
      return true;
    case Type::kInt16:
      *out = std::get<2>(value_) != 0;
      return true;
    case Type::kInt32:
      *out = std::get<3>(value_) != 0;
      return true;
    default:
      return false;
  }
}

bool Variant::ToInt32(int32_t* out) const {
  switch (type()) {
    case Type::kBool:
      *out = std::get<1>(value_) ? -1 : 0;
      return true;
    case Type::kInt16:
      *out = std::get<2>(value_);
      return true;
    case Type::kInt32:
      *out = std::get<3>(value_);
      return true;
    default:
      return false;
  }
}

bool Variant::ToInt16(int16_t* out) const {
  int32_t wide;
  if (!ToInt32(&wide)) return false;
  if (wide < std::numeric_limits<int16_t>::min() || wide > std::numeric_limits<int16_t>::max()) {
    return false;
  }
  *out = static_cast<int16_t>(wide);
  return true;
}

bool Variant::ToString(std::u16string* out) const {
  if (type() != Type::kString) return false;
  *out = std::get<4>(value_);
  return true;
}

}  // namespace ostrel
