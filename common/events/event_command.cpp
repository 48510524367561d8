#include "common/events/event_command.h"

namespace corvane::events {
namespace {

// The redirection target is written bare, as always, unless it holds a
// character that would end or change the word; then it is quoted.
std::string RedirectionTarget(const std::filesystem::path& output) {
  const std::string path = output.string();
  constexpr std::string_view kSpecial = " \t\r\n'\"`;|&<>(){}[]$@#,";
  if (path.empty() || path.find_first_of(kSpecial) != std::string::npos) {
    return QuotePowerShellString(path);
  }
  return path;
}

}  // namespace

std::string QuotePowerShellString(std::string_view text) {
  std::string quoted = "'";
  for (const char c : text) {
    quoted += c;
    if (c == '\'') quoted += '\'';
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
