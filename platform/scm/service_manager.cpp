#include "platform/scm/service_manager.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace corvane::platform {
namespace {

using namespace std::chrono_literals;

constexpr Duration kStartTimeout = 30s;
constexpr Duration kStartPoll = 20ms;

bool ValidName(std::string_view name) {
  if (name.empty() || name.size() > 256) return false;
  for (char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                    c == '-' || c == '.';
    if (!ok) return false;
  }
  return name != "." && name != "..";
}

std::string Escape(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::string Unescape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      ++i;
      out += text[i] == 'n' ? '\n' : text[i];
    } else {
      out += text[i];
    }
  }
  return out;
}

// Writes a whole file through a temporary and a rename, so a reader sees
// the old record or the new one, never half of one.
bool WriteAtomically(const std::filesystem::path& file, const std::string& content) {
  const auto temp = file.string() + ".tmp" + std::to_string(::getpid());
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << content;
    if (!out.flush()) return false;
  }
  std::error_code error;
  std::filesystem::rename(temp, file, error);
  if (error) std::filesystem::remove(temp, error);
  return !error;
}

bool ProcessAlive(int pid) {
  if (pid <= 0) return false;
  if (::kill(pid, 0) != 0 && errno != EPERM) return false;
  // A zombie has ended; an init that does not reap must not keep it running.
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (stat && std::getline(stat, line)) {
    const auto paren = line.rfind(')');
    if (paren != std::string::npos && paren + 2 < line.size() && line[paren + 2] == 'Z') return false;
  }
  return true;
}

}  // namespace

std::string ScmErrorText(int code) {
  switch (code) {
    case kScmOk:
      return "The operation completed successfully.";
    case kErrorFileNotFound:
      return "The system cannot find the file specified.";
    case kErrorAccessDenied:
      return "Access is denied.";
    case kErrorInvalidName:
      return "The filename, directory name, or volume label syntax is incorrect.";
    case kErrorServiceRequestTimeout:
      return "The service did not respond to the start or control request in a timely fashion.";
    case kErrorServiceAlreadyRunning:
      return "An instance of the service is already running.";
    case kErrorServiceDoesNotExist:
      return "The specified service does not exist as an installed service.";
    case kErrorServiceNotActive:
      return "The service has not been started.";
    case kErrorServiceExists:
      return "The specified service already exists.";
    default:
      return "Error " + std::to_string(code) + ".";
  }
}

std::filesystem::path ServiceManager::DefaultRegistry() {
  const char* dir = std::getenv(kScmDirVariable);
  return dir != nullptr && *dir != '\0' ? std::filesystem::path(dir)
                                        : std::filesystem::path("/var/lib/corvane/scm");
}

int ServiceManager::Open(const std::filesystem::path& registry, std::optional<ServiceManager>& out) {
  std::error_code error;
  std::filesystem::create_directories(registry, error);
  if (error || ::access(registry.c_str(), R_OK | W_OK | X_OK) != 0) return kErrorAccessDenied;
  out.emplace(ServiceManager(std::filesystem::absolute(registry, error)));
  return kScmOk;
}

std::filesystem::path ServiceManager::RecordFile(std::string_view name) const {
  return registry_ / (std::string(name) + ".service");
}
std::filesystem::path ServiceManager::StatusFile(std::string_view name) const {
  return registry_ / (std::string(name) + ".status");
}
std::filesystem::path ServiceManager::OutputFile(std::string_view name) const {
  return registry_ / (std::string(name) + ".out");
}

int ServiceManager::Create(const ServiceConfig& config) {
  if (!ValidName(config.name)) return kErrorInvalidName;
  std::error_code error;
  if (std::filesystem::exists(RecordFile(config.name), error)) return kErrorServiceExists;
  std::ostringstream record;
  record << "name=" << Escape(config.name) << "\n";
  record << "program=" << Escape(config.program.string()) << "\n";
  for (const auto& argument : config.arguments) record << "arg=" << Escape(argument) << "\n";
  for (const auto& [key, value] : config.environment) record << "env=" << Escape(key + "=" + value) << "\n";
  if (!WriteAtomically(RecordFile(config.name), record.str())) return kErrorAccessDenied;
  return kScmOk;
}

int ServiceManager::OpenService(std::string_view name) const {
  if (!ValidName(name)) return kErrorInvalidName;
  std::error_code error;
  return std::filesystem::is_regular_file(RecordFile(name), error) ? kScmOk : kErrorServiceDoesNotExist;
}

int ServiceManager::QueryConfig(std::string_view name, ServiceConfig& out) const {
  if (const int code = OpenService(name); code != kScmOk) return code;
  std::ifstream in(RecordFile(name));
  if (!in) return kErrorAccessDenied;
  out = ServiceConfig{};
  std::string line;
  while (std::getline(in, line)) {
    const auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals);
    const std::string value = Unescape(std::string_view(line).substr(equals + 1));
    if (key == "name") {
      out.name = value;
    } else if (key == "program") {
      out.program = value;
    } else if (key == "arg") {
      out.arguments.push_back(value);
    } else if (key == "env") {
      const auto at = value.find('=');
      if (at != std::string::npos) out.environment[value.substr(0, at)] = value.substr(at + 1);
    }
  }
  return kScmOk;
}

int ServiceManager::QueryStatus(std::string_view name, ServiceStatus& out) const {
  if (const int code = OpenService(name); code != kScmOk) return code;
  out = ServiceStatus{};
  std::ifstream in(StatusFile(name));
  int state = 1, pid = 0;
  if (in >> state >> pid) {
    if (state >= 1 && state <= 4) out.state = static_cast<ServiceState>(state);
    out.pid = pid;
  }
  if (out.state != ServiceState::kStopped && !ProcessAlive(out.pid)) out = ServiceStatus{};
  return kScmOk;
}

int ServiceManager::ReportStatus(std::string_view name, ServiceState state, int pid) {
  if (!ValidName(name)) return kErrorInvalidName;
  const std::string content = std::to_string(static_cast<int>(state)) + " " + std::to_string(pid) + "\n";
  return WriteAtomically(StatusFile(name), content) ? kScmOk : kErrorAccessDenied;
}

int ServiceManager::Start(std::string_view name, Clock& clock) {
  ServiceConfig config;
  if (const int code = QueryConfig(name, config); code != kScmOk) return code;
  ServiceStatus status;
  QueryStatus(name, status);
  if (status.state != ServiceState::kStopped) return kErrorServiceAlreadyRunning;
  if (::access(config.program.c_str(), X_OK) != 0) return kErrorFileNotFound;

  // Everything the child needs is prepared before fork: after it only
  // async-signal-safe calls are made.
  std::vector<std::string> strings;
  strings.push_back(config.program.string());
  for (const auto& argument : config.arguments) strings.push_back(argument);
  const size_t argc = strings.size();
  auto environment = config.environment;
  environment["PATH"] = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";
  environment[kScmServiceVariable] = std::string(name);
  environment[kScmDirVariable] = registry_.string();
  for (const auto& [key, value] : environment) strings.push_back(key + "=" + value);
  std::vector<char*> argv, envp;
  for (size_t i = 0; i < strings.size(); ++i) (i < argc ? argv : envp).push_back(strings[i].data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  const std::string folder = config.program.parent_path().string();
  const std::string output = OutputFile(name).string();

  // The grandchild's pid comes back through the pipe; an exec failure closes
  // it with an errno instead (the pipe is close-on-exec).
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return kErrorAccessDenied;
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(report[0]);
    ::close(report[1]);
    return kErrorAccessDenied;
  }
  if (child == 0) {
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild != 0) {
      const int message[2] = {0, static_cast<int>(grandchild)};
      if (grandchild > 0) (void)!::write(report[1], message, sizeof message);
      ::_exit(grandchild > 0 ? 0 : 1);
    }
    const int null_in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (null_in >= 0) ::dup2(null_in, 0);
    if (out >= 0) {
      ::dup2(out, 1);
      ::dup2(out, 2);
    }
    if (::chdir(folder.c_str()) != 0) {
    }
    ::execve(argv[0], argv.data(), envp.data());
    const int message[2] = {errno, 0};
    (void)!::write(report[1], message, sizeof message);
    ::_exit(127);
  }
  ::close(report[1]);
  int waited = 0;
  ::waitpid(child, &waited, 0);
  int spawned[2] = {0, 0};
  int exec_error[2] = {0, 0};
  const bool have_pid = ::read(report[0], spawned, sizeof spawned) == sizeof spawned;
  const bool exec_failed = ::read(report[0], exec_error, sizeof exec_error) == sizeof exec_error;
  ::close(report[0]);
  if (!have_pid || exec_failed) return exec_error[0] == ENOENT ? kErrorFileNotFound : kErrorAccessDenied;
  ReportStatus(name, ServiceState::kStartPending, spawned[1]);

  for (Duration waited_for{0}; waited_for < kStartTimeout; waited_for += kStartPoll) {
    ServiceStatus now;
    QueryStatus(name, now);
    if (now.state == ServiceState::kRunning) return kScmOk;
    if (now.state == ServiceState::kStopped) break;
    clock.Sleep(kStartPoll);
  }
  return kErrorServiceRequestTimeout;
}

int ServiceManager::Stop(std::string_view name) {
  ServiceStatus status;
  if (const int code = QueryStatus(name, status); code != kScmOk) return code;
  if (status.state == ServiceState::kStopped) return kErrorServiceNotActive;
  if (::kill(status.pid, SIGTERM) != 0) return errno == EPERM ? kErrorAccessDenied : kErrorServiceNotActive;
  ReportStatus(name, ServiceState::kStopPending, status.pid);
  return kScmOk;
}

int ServiceManager::Delete(std::string_view name) {
  if (const int code = OpenService(name); code != kScmOk) return code;
  ServiceStatus status;
  QueryStatus(name, status);
  std::error_code error;
  if (!std::filesystem::remove(RecordFile(name), error) || error) return kErrorAccessDenied;
  if (status.state == ServiceState::kStopped) std::filesystem::remove(StatusFile(name), error);
  return kScmOk;
}

}  // namespace corvane::platform
