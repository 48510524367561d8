#include "common/events/psh_runner.h"

#include <cstdlib>

#include "platform/process/child_process.h"

namespace corvane::events {

std::filesystem::path PowerShellProgram(const std::filesystem::path& app_folder) {
  const char* program = std::getenv("CORVANE_POWERSHELL");
  if (program != nullptr && *program != '\0') return program;
  return app_folder / "powershell";
}

PshRunResult RunPowerShell(platform::Clock& clock, const std::function<void(int16_t ms)>& pause,
                           const std::filesystem::path& app_folder, std::string_view command,
                           const PshRunnerTimes& times) {
  std::string error;
  auto child = platform::ChildProcess::Start({.program = PowerShellProgram(app_folder),
                                              .arguments = {std::string(command)},
                                              .working_folder = app_folder},
                                             error);
  if (child == nullptr) {
    pause(times.pause_after_ms);
    return {PshOutcome::kNotStarted, error};
  }
  const platform::TimePoint deadline = clock.Now() + times.time_limit;
  for (;;) {
    pause(40);
    if (clock.Now() > deadline) {
      child->Kill();
      return {PshOutcome::kTimedOut, {}};
    }
    if (child->HasEnded()) break;
  }
  child.reset();
  pause(times.pause_after_ms);
  return {PshOutcome::kEnded, {}};
}

}  // namespace corvane::events
