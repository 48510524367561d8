// corvane-sc: drives the service-manager stand-in from a shell, as an
// administrator would drive services with Windows' sc.
//   corvane-sc query|start|stop|delete NAME
// Exit status 0 on success; otherwise the Windows error code is printed and
// the exit status is 1.

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "platform/eventloop/qt_clock.h"
#include "platform/scm/service_manager.h"

namespace {

using corvane::platform::ServiceManager;
using corvane::platform::ServiceState;

const char* StateName(ServiceState state) {
  switch (state) {
    case ServiceState::kStopped:
      return "STOPPED";
    case ServiceState::kStartPending:
      return "START_PENDING";
    case ServiceState::kStopPending:
      return "STOP_PENDING";
    case ServiceState::kRunning:
      return "RUNNING";
  }
  return "UNKNOWN";
}

int Fail(std::string_view operation, int code) {
  std::printf("[SC] %s FAILED %d:\n\n%s\n", std::string(operation).c_str(), code,
              corvane::platform::ScmErrorText(code).c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: corvane-sc query|start|stop|delete NAME\n");
    return 2;
  }
  const std::string_view command = argv[1];
  const std::string_view name = argv[2];
  std::optional<ServiceManager> manager;
  if (const int code = ServiceManager::Open(ServiceManager::DefaultRegistry(), manager); code != 0) {
    return Fail("OpenSCManager", code);
  }
  int code = 0;
  if (command == "query") {
    corvane::platform::ServiceStatus status;
    code = manager->QueryStatus(name, status);
    if (code == 0) {
      std::printf("SERVICE_NAME: %s\n        STATE              : %d  %s\n        PID                : %d\n",
                  std::string(name).c_str(), static_cast<int>(status.state), StateName(status.state),
                  status.state == ServiceState::kStopped ? 0 : status.pid);
      return 0;
    }
    return Fail("EnumQueryServicesStatus:OpenService", code);
  }
  if (command == "start") {
    corvane::platform::QtClock clock;
    code = manager->Start(name, clock);
    if (code != 0) return Fail("StartService", code);
  } else if (command == "stop") {
    code = manager->Stop(name);
    if (code != 0) return Fail("ControlService", code);
  } else if (command == "delete") {
    code = manager->Delete(name);
    if (code != 0) return Fail("DeleteService", code);
  } else {
    std::fprintf(stderr, "corvane-sc: unknown command '%s'\n", argv[1]);
    return 2;
  }
  std::printf("[SC] %s %s SUCCESS\n", std::string(command).c_str(), std::string(name).c_str());
  return 0;
}
