#pragma once
// The service-manager stand-in: a registry folder with one record per
// service (program file, start arguments, the CORVANE_* environment recorded
// at install) and a status record beside it (state and process id). It is
// what corvane-sc, the console's service control and the service host use;
// every operation answers with a Windows error code (ScmCode).

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock/clock.h"
#include "platform/scm/scm_error.h"

namespace corvane::platform {

// Windows' service states.
enum class ServiceState : int { kStopped = 1, kStartPending = 2, kStopPending = 3, kRunning = 4 };

struct ServiceConfig {
  std::string name;
  std::filesystem::path program;
  std::vector<std::string> arguments;
  std::map<std::string, std::string> environment;
};

struct ServiceStatus {
  ServiceState state = ServiceState::kStopped;
  int pid = 0;
};

// Environment variables the manager sets for a process it starts: the
// service's name, so the host knows it runs under the manager, and the
// registry folder, so it reports its status to the same place.
inline constexpr const char* kScmServiceVariable = "CORVANE_SCM_SERVICE";
inline constexpr const char* kScmDirVariable = "CORVANE_SCM_DIR";

class ServiceManager {
 public:
  // $CORVANE_SCM_DIR when set, else /var/lib/corvane/scm.
  static std::filesystem::path DefaultRegistry();

  // Opens (creating when missing) the registry; kErrorAccessDenied when it
  // cannot be used.
  static int Open(const std::filesystem::path& registry, std::optional<ServiceManager>& out);

  const std::filesystem::path& registry() const { return registry_; }

  // kErrorServiceExists when the name is taken.
  int Create(const ServiceConfig& config);
  // kErrorServiceDoesNotExist when the name is not registered.
  int OpenService(std::string_view name) const;
  int QueryConfig(std::string_view name, ServiceConfig& out) const;
  // A recorded process that no longer exists counts as stopped.
  int QueryStatus(std::string_view name, ServiceStatus& out) const;
  // Spawns the program detached, in its own session, with its recorded
  // environment, and returns once its host reports running (polling through
  // `clock`); kErrorServiceRequestTimeout after 30 seconds.
  int Start(std::string_view name, Clock& clock);
  // SIGTERM and stop pending; returns at once.
  int Stop(std::string_view name);
  // The registration goes; a running process runs on until it stops.
  int Delete(std::string_view name);

  // For the service host: records the state of this process.
  int ReportStatus(std::string_view name, ServiceState state, int pid);

 private:
  explicit ServiceManager(std::filesystem::path registry) : registry_(std::move(registry)) {}
  std::filesystem::path RecordFile(std::string_view name) const;
  std::filesystem::path StatusFile(std::string_view name) const;
  std::filesystem::path OutputFile(std::string_view name) const;

  std::filesystem::path registry_;
};

}  // namespace corvane::platform
