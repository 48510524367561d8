#pragma once
// Starting another program and watching it end, for the PowerShell runner:
// the program runs in a working folder of the caller's choice and in a process
// group of its own, so a late one can be killed with everything it started.
// The wait itself is the caller's (through its clock); this type only answers
// "has it ended?" without blocking, and kills and reaps on request.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace corvane::platform {

struct SpawnRequest {
  std::filesystem::path program;
  std::vector<std::string> arguments = {};    // without the program itself
  std::filesystem::path working_folder = {};  // empty: the caller's
  // Empty: inherited. Standard input is always /dev/null.
  std::filesystem::path stdout_file = {};
  std::filesystem::path stderr_file = {};
};

class ChildProcess {
 public:
  // Nothing when the program cannot be started; `error` then says why.
  static std::unique_ptr<ChildProcess> Start(const SpawnRequest& request, std::string& error);

  // A child still running is killed and reaped: none outlives its owner.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  int pid() const { return pid_; }
  // A wait with a zero time-out; reaps the child once it has ended.
  bool HasEnded();
  // The exit code, or 128 + the signal that ended it; nothing while running.
  std::optional<int> ExitStatus() const { return exit_status_; }
  // Kills the child's whole process group and reaps the child before it
  // returns. Does nothing once the child has been reaped.
  void Kill();

 private:
  explicit ChildProcess(int pid) : pid_(pid) {}
  void Record(int wait_status);

  int pid_;
  std::optional<int> exit_status_;
};

}  // namespace corvane::platform
