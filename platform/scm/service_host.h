#pragma once
// The service host control: what the service program calls to register
// itself, to be removed, and to run as a service. State notifications arrive
// on the program's event loop: 2 once it runs, 0 when it is asked to stop.
// Once the handler of 0 has returned, the host records the service stopped
// and ends the event loop.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace corvane::platform {

class ServiceHostControl {
 public:
  virtual ~ServiceHostControl() = default;

  // Registers the program under `name`; throws ScmError (1073 when the name
  // exists). The CORVANE_* environment in force is recorded with it.
  virtual void Install(std::string_view name, int start_type) = 0;
  // Throws ScmError (1060 when the name is not registered).
  virtual void Uninstall(std::string_view name) = 0;
  // Returns at once; notifications follow on the event loop.
  virtual void Run() = 0;
  // 0 stopped, 1 pause requested, 2 running, 3 continue requested.
  virtual int State() const = 0;

  std::function<void()> on_state;
  std::function<void(int number, const std::string& description)> on_error;
};

// The host on Qt's event loop for the program file `program`. Under the
// manager (its marker in the environment) it reports to the manager's
// registry; otherwise it runs in the foreground and stops on SIGTERM or
// SIGINT.
std::unique_ptr<ServiceHostControl> CreateServiceHost(std::filesystem::path program);

}  // namespace corvane::platform
