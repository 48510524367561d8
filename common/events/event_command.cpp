#include "common/events/event_command.h"

#include <algorithm>

namespace corvane::events {
namespace {

// The redirection target is written bare, as always, unless it holds a
// character that would end or change the word; then it is quoted.
std::string RedirectionTarget(const std::filesystem::path& output) {
  const std::string path = output.string();
  constexpr std::string_view kSpecial = " \t\r\n'\"`;|&<>(){}[]$@#,";
  const bool non_ascii = std::any_of(path.begin(), path.end(), [](char c) { return (c & 0x80) != 0; });
  if (path.empty() || non_ascii || path.find_first_of(kSpecial) != std::string::npos) {
    return QuotePowerShellString(path);
  }
  return path;
}

}  // namespace

std::string QuotePowerShellString(std::string_view text) {
  // PowerShell ends a single-quoted string at U+2018 to U+201B as well as at
  // "'", and reads any of them doubled as the one character.
  std::string quoted = "'";
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\'') {
      quoted += "''";
    } else if (text.substr(i, 2) == "\xE2\x80" && i + 2 < text.size() &&
               static_cast<unsigned char>(text[i + 2]) >= 0x98 &&
               static_cast<unsigned char>(text[i + 2]) <= 0x9B) {
      const std::string_view mark = text.substr(i, 3);
      quoted += mark;
      quoted += mark;
      i += 2;
    } else {
      quoted += text[i];
    }
  }
  quoted += '\'';
  return quoted;
}

std::string BuildEventCommand(std::string_view policy_command, std::string_view log, int32_t max_events,
                              const std::filesystem::path& output) {
  std::string command(policy_command);
  command += "\r\nget-winevent -logname ";
  command += QuotePowerShellString(log);
  command += " -maxevent ";
  command += std::to_string(max_events);
  command +=
      " | sort-object -property recordid | format-list logname, recordid, timecreated, "
      "leveldisplayname, providername, taskdisplayname, id, userid, machinename, message > ";
  command += RedirectionTarget(output);
  return command;
}

std::string BuildListLogCommand(std::string_view policy_command, const std::filesystem::path& output) {
  std::string command(policy_command);
  command += "\r\nget-winevent -listlog * | format-list logname, recordcount > ";
  command += RedirectionTarget(output);
  return command;
}

}  // namespace corvane::events
