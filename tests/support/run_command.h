#pragma once
// Helpers for tests that drive the real programs from a shell, as an
// administrator would: run a command line and wait, boundedly, for what a
// real process does in real time.

#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

namespace corvane::testing {

struct CommandResult {
  int exit_status = -1;
  std::string output;  // standard output and error together
};

inline CommandResult RunCommand(const std::string& command) {
  CommandResult result;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[512];
  while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) result.output.append(buffer, n);
  const int status = ::pclose(pipe);
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// A path quoted for the shell.
inline std::string Q(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

// Polls `condition` until it holds or `limit` has passed.
template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit,
             std::chrono::milliseconds step = std::chrono::milliseconds(50)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(step);
  }
  return true;
}

}  // namespace corvane::testing
