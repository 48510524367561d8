#pragma once
// The PowerShell runner both programs use: starts the program with the whole
// command as its one argument, in the AppFolder, and waits for it through the
// caller's pause (which keeps events flowing), checking every 40 ms. A
// program still running at the deadline is killed and reaped before the
// runner returns, so nothing is left behind to write a file later.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "platform/clock/clock.h"

namespace corvane::events {

struct PshRunnerTimes {
  platform::Duration time_limit;  // counted from the start
  int16_t pause_after_ms;         // after the end, and after a failed start
};

enum class PshOutcome { kEnded, kTimedOut, kNotStarted };

struct PshRunResult {
  PshOutcome outcome;
  std::string error;  // why it did not start
};

// $CORVANE_POWERSHELL when set, else <app_folder>/powershell.
std::filesystem::path PowerShellProgram(const std::filesystem::path& app_folder);

// `pause` is the program's PauseWithEvents; time is read from `clock`.
PshRunResult RunPowerShell(platform::Clock& clock, const std::function<void(int16_t ms)>& pause,
                           const std::filesystem::path& app_folder, std::string_view command,
                           const PshRunnerTimes& times);

}  // namespace corvane::events
