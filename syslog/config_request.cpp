#include "syslog/config_request.h"

#include <algorithm>
#include <limits>

namespace ostrel {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool NameIs(std::string_view name, std::string_view setting) {
  if (name.size() != setting.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (Lower(name[i]) != Lower(setting[i])) return false;
  }
  return true;
}

ConfigRequest ParseConfigRequest(std::string_view argument) {
  ConfigRequest request;
  if (argument.empty()) {
    request.query = true;
    return request;
  }
  std::string index_text;
  bool in_brackets = false;
  size_t at = 0;
  for (; at < argument.size() && argument[at] != '='; ++at) {
    const char c = argument[at];
    if (in_brackets) {
      if (c == ']' || c == ')') {
        in_brackets = false;
        request.index = ConfigNumber(index_text);
      } else {
        index_text.push_back(c);
      }
    } else if (c == '[' || c == '(') {
      in_brackets = true;
    } else {
      request.name.push_back(c);
    }
  }
  if (at == argument.size()) {
    request.query = true;
    return request;
  }
  size_t begin = at + 1;
  size_t end = argument.size();
  while (begin < end && argument[begin] == ' ') ++begin;
  if (begin < end && argument[begin] == '"') ++begin;
  while (end > begin && argument[end - 1] == ' ') --end;
  if (end > begin && argument[end - 1] == '"') --end;
  request.value.assign(argument.substr(begin, end - begin));
  return request;
}

bool ConfigBool(std::string_view value) {
  return NameIs(value, "TRUE") || NameIs(value, "yes") || value == "1";
}

int32_t ConfigNumber(std::string_view value) {
  size_t at = 0;
  bool negative = false;
  if (at < value.size() && (value[at] == '+' || value[at] == '-')) negative = value[at++] == '-';
  int64_t number = 0;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  for (; at < value.size() && value[at] >= '0' && value[at] <= '9'; ++at) {
    number = std::min(kLimit, number * 10 + (value[at] - '0'));
  }
  if (negative) number = -number;
  return static_cast<int32_t>(std::clamp<int64_t>(number, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

std::string ConfigBoolText(bool value) { return value ? "True" : "False"; }

}  // namespace ostrel
