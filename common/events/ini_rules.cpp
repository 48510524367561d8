#include "common/events/ini_rules.h"

#include "platform/system/text_file.h"

namespace corvane::events {

std::string ApplyIniText(std::string_view ini_text, std::string policy_command) {
  // An editor's UTF-8 mark would otherwise hide a setting on the first line.
  if (ini_text.starts_with("\xEF\xBB\xBF")) ini_text.remove_prefix(3);
  for (std::string_view line : platform::SplitTextLines(ini_text)) {
    if (line.size() < 4 || line.front() == ';' || line.front() == '[') continue;
    if (!line.starts_with("Set-ExecutionPolicy")) continue;
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
    policy_command = std::string(line);
  }
  return policy_command;
}

}  // namespace corvane::events
