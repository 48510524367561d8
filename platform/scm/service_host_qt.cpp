#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdlib>
#include <optional>

#include "platform/scm/service_host.h"
#include "platform/scm/service_manager.h"

extern char** environ;

namespace corvane::platform {
namespace {

int g_signal_pipe[2] = {-1, -1};

void OnStopSignal(int) {
  const int saved = errno;
  const char byte = 1;
  (void)!::write(g_signal_pipe[1], &byte, 1);
  errno = saved;
}

ServiceManager OpenManager() {
  std::optional<ServiceManager> manager;
  if (const int code = ServiceManager::Open(ServiceManager::DefaultRegistry(), manager); code != kScmOk) {
    throw ScmError(code);
  }
  return *manager;
}

class QtServiceHost final : public ServiceHostControl {
 public:
  explicit QtServiceHost(std::filesystem::path program) : program_(std::move(program)) {}

  void Install(std::string_view name, int /*start_type*/) override {
    ServiceConfig config;
    config.name = std::string(name);
    config.program = program_;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      const std::string_view text(*entry);
      const auto equals = text.find('=');
      if (equals == std::string_view::npos || !text.starts_with("CORVANE_")) continue;
      const std::string key(text.substr(0, equals));
      // The manager's own markers describe this run, not the service.
      if (key == kScmServiceVariable) continue;
      config.environment[key] = std::string(text.substr(equals + 1));
    }
    if (const int code = OpenManager().Create(config); code != kScmOk) throw ScmError(code);
  }

  void Uninstall(std::string_view name) override {
    if (const int code = OpenManager().Delete(name); code != kScmOk) throw ScmError(code);
  }

  void Run() override {
    if (const char* service = std::getenv(kScmServiceVariable); service != nullptr && *service != '\0') {
      managed_name_ = service;
    }
    if (::pipe2(g_signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) throw ScmError(kErrorAccessDenied);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    notifier_ = std::make_unique<QSocketNotifier>(g_signal_pipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { OnStopRequest(); });
    QTimer::singleShot(0, [this] {
      if (managed_name_) Report(ServiceState::kRunning);
      Notify(2);
    });
  }

  int State() const override { return state_; }

 private:
  void Notify(int state) {
    state_ = state;
    if (on_state) on_state();
  }

  void Report(ServiceState state) {
    std::optional<ServiceManager> manager;
    if (ServiceManager::Open(ServiceManager::DefaultRegistry(), manager) != kScmOk ||
        manager->ReportStatus(*managed_name_, state, ::getpid()) != kScmOk) {
      if (on_error) on_error(kErrorAccessDenied, "Cannot record the service status");
    }
  }

  void OnStopRequest() {
    char buffer[16];
    while (::read(g_signal_pipe[0], buffer, sizeof buffer) > 0) {
    }
    if (stopping_) return;  // a second request while the first is handled
    stopping_ = true;
    Notify(0);
    if (managed_name_) Report(ServiceState::kStopped);
    QCoreApplication::exit(0);
  }

  std::filesystem::path program_;
  std::optional<std::string> managed_name_;
  std::unique_ptr<QSocketNotifier> notifier_;
  int state_ = 0;
  bool stopping_ = false;
};

}  // namespace

std::unique_ptr<ServiceHostControl> CreateServiceHost(std::filesystem::path program) {
  return std::make_unique<QtServiceHost>(std::move(program));
}

}  // namespace corvane::platform
