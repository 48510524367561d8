#pragma once
// The service program's one hidden form: it handles the command line, the
// host control's state notifications and the polling timer's ticks, and
// writes the application log. It owns the hosted components and the
// ServiceContext that the service's procedures work on.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock/clock.h"
#include "platform/scm/service_host.h"
#include "platform/snmp/snmp_agent.h"
#include "platform/system/message_box.h"
#include "platform/system/single_instance.h"
#include "service/filter_engine.h"
#include "service/service_context.h"

namespace corvane::service {

inline constexpr std::string_view kServiceName = "Corvane";
inline constexpr std::string_view kFormCaption = "Corvane Server";
// The timer's design-time interval, before the first poll.
inline constexpr platform::Duration kTimerFirstInterval{5000};

class FrmCorvaneSrv {
 public:
  FrmCorvaneSrv(platform::Clock& clock, platform::ServiceHostControl& dartSvc, platform::SnmpAgent& snmpAgent,
                platform::MessageBoxFunction message_box, std::filesystem::path program_folder);
  ~FrmCorvaneSrv();

  // The start-up handler. Returns the exit status when the program is to end
  // (an install, an uninstall, a refused start), nothing when it runs on.
  std::optional<int> Form_Load(std::string_view arguments);

  void dartSvc_State();
  void timer1_Timer();
  void snmpAgent_Error(int number, const std::string& description);
  void WriteAppEvent(std::string_view module, std::string_view procedure, std::string_view text,
                     EntryType type);

  ServiceContext& context() { return context_; }
  platform::Timer& timer1() { return *timer1_; }

 private:
  enum class Operation { kNone, kInstall, kUninstall };

  void StartSequence();
  void PollingCycle();
  void ShowMessage(std::string text, platform::MessageIcon icon, std::string title = "Corvane");

  platform::Clock& clock_;
  platform::ServiceHostControl& dartSvc_;
  platform::SnmpAgent& snmpAgent_;
  platform::MessageBoxFunction message_box_;
  std::filesystem::path program_folder_;
  std::unique_ptr<platform::SingleInstanceLock> instance_lock_;
  std::unique_ptr<platform::Timer> timer1_;
  ServiceContext context_;
  // Where the filter engine's sends go: event traps through SendTrap. Syslog
  // forwarding is not connected yet: a syslog action only writes its report
  // line.
  FilterSenders senders_;
  Operation operation_ = Operation::kNone;
};

}  // namespace corvane::service
