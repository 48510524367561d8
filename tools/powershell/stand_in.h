#pragma once
// The stand-in for powershell.exe: runs the statements Corvane sends
// (`Set-ExecutionPolicy ...`, `get-winevent -logname '<name>' -maxevent <n> |
// sort-object -property recordid | format-list ... > <path>` and
// `get-winevent -listlog * | format-list logname, recordcount > <path>`)
// against the event-log store, and fails as PowerShell fails: errors go to
// the error stream and the exit status is 1; a text that does not parse runs
// nothing and touches no file. Nothing else is ever run.

#include <ostream>
#include <string_view>

#include "platform/eventlog/event_log_store.h"

namespace corvane::powershell {

struct StandInContext {
  const platform::EventLogStore& store;
  int width;              // the line width of the list format
  std::ostream& console;  // output that is not redirected
  std::ostream& errors;
};

// Returns the exit status.
int RunScript(std::string_view text, const StandInContext& context);

// $CORVANE_PSH_WIDTH when it holds a positive number, else 119.
int ListWidthFromEnvironment();

}  // namespace corvane::powershell
