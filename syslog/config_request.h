#pragma once
// The parsed argument of Config ("Name[index]=value" or a bare name as a
// query) and the value forms the settings read and write.

#include <cstdint>
#include <string>
#include <string_view>

namespace ostrel {

struct ConfigRequest {
  std::string name;
  int32_t index = 0;  // parsed, and ignored by every setting
  std::string value;
  bool query = false;
};

// Spaces before "=" belong to the name; the value loses its outer spaces and
// one pair of surrounding double quotes.
ConfigRequest ParseConfigRequest(std::string_view argument);

// True for "TRUE", "yes" or "1" in any case; anything else is false.
bool ConfigBool(std::string_view value);
// An optional sign and decimal digits, up to the first other byte; no digits
// give 0. Values beyond 32 bits are held at the nearest limit.
int32_t ConfigNumber(std::string_view value);
std::string ConfigBoolText(bool value);
bool NameIs(std::string_view name, std::string_view setting);

}  // namespace ostrel
