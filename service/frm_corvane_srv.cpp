#include "service/frm_corvane_srv.h"

#include <exception>
#include <string>

#include "common/database/config_tables.h"
#include "common/database/database.h"
#include "platform/clock/date_time.h"
#include "platform/system/text_file.h"
#include "service/event_reader.h"
#include "service/polling_cycle.h"
#include "service/trap_composer.h"

namespace corvane::service {
namespace {

constexpr std::string_view kForm = "frmCorvaneSrv";
constexpr std::string_view kLockFile = "CorvaneSrv.lock";

// The design's database message names a download address of its maker's;
// that line is left out.
constexpr std::string_view kDatabaseErrorMessage =
    "Error when accessing the Database.\n"
    "\n"
    "The Microsoft Data Access Components (MDAC) 2.5 or greater must be\n"
    "installed on the computer. The MDAC 2.5 could be found on:\n"
    "\n"
    "or on the Corvane CD-ROM in the MDAC directory.";

}  // namespace

FrmCorvaneSrv::FrmCorvaneSrv(platform::Clock& clock, platform::ServiceHostControl& dartSvc,
                             platform::SnmpAgent& snmpAgent, platform::MessageBoxFunction message_box,
                             std::filesystem::path program_folder)
    : clock_(clock),
      dartSvc_(dartSvc),
      snmpAgent_(snmpAgent),
      message_box_(std::move(message_box)),
      program_folder_(std::move(program_folder)),
      timer1_(clock.CreateTimer()),
      context_(clock) {
  timer1_->SetInterval(kTimerFirstInterval);
  timer1_->on_timeout = [this] { timer1_Timer(); };
  context_.write_app_event = [this](std::string_view module, std::string_view procedure,
                                    std::string_view text,
                                    EntryType type) { WriteAppEvent(module, procedure, text, type); };
  context_.snmp_agent = &snmpAgent_;
  senders_.SendTrap = [this](const EventRecord& event, int16_t rule) { SendTrap(context_, event, rule); };
  snmpAgent_.on_error = [this](int number, const std::string& description) {
    snmpAgent_Error(number, description);
  };
  dartSvc_.on_state = [this] { dartSvc_State(); };
  // The host control's error notification is accepted and ignored.
  dartSvc_.on_error = [](int, const std::string&) {};
}

FrmCorvaneSrv::~FrmCorvaneSrv() {
  dartSvc_.on_state = nullptr;
  dartSvc_.on_error = nullptr;
  snmpAgent_.on_error = nullptr;
}

void FrmCorvaneSrv::ShowMessage(std::string text, platform::MessageIcon icon, std::string title) {
  if (message_box_) message_box_({std::move(text), std::move(title), icon});
}

std::optional<int> FrmCorvaneSrv::Form_Load(std::string_view arguments) {
  using platform::MessageIcon;
  ServiceState& state = context_.state;
  instance_lock_ = platform::SingleInstanceLock::TryAcquire(program_folder_ / kLockFile);
  if (!instance_lock_) {
    ShowMessage("The Corvane Service is already running.", MessageIcon::kInformation);
    return 1;
  }
  try {
    if (arguments.substr(0, 8) == "-install") {
      state.AppFolder = program_folder_;
      std::filesystem::current_path(state.AppFolder);
      if (!std::filesystem::exists("Corvane.mdb")) {
        // OK button only, no icon, the program's own title.
        ShowMessage("Corvane.mdb does not exits.", MessageIcon::kNone, std::string(kFormCaption));
        return 1;
      }
      state.DbConnectString = DbConnectString(state.AppFolder);
      operation_ = Operation::kInstall;
      dartSvc_.Install(kServiceName, 1);
      WriteAppEvent(kForm, "Form_Load", "Service Installed", EntryType::kInformation);
      if (arguments != "-install_noMsg") {
        ShowMessage("Corvane Service Installed Successfully.", MessageIcon::kInformation);
      }
      return 0;
    }
    if (arguments == "-uninstall") {
      state.AppFolder = program_folder_;
      operation_ = Operation::kUninstall;
      dartSvc_.Uninstall(kServiceName);
      WriteAppEvent(kForm, "Form_Load", "Service Uninstalled", EntryType::kInformation);
      ShowMessage("Corvane Service Uninstalled Successfully.", MessageIcon::kInformation);
      return 0;
    }
    if (!arguments.empty()) {
      ShowMessage("Invalid command option.", MessageIcon::kInformation);
      return 1;
    }
    state.AppFolder = program_folder_;
    dartSvc_.Run();
    return std::nullopt;
  } catch (const std::exception& failure) {
    WriteAppEvent(kForm, "Form_Load", failure.what(), EntryType::kError);
    switch (operation_) {
      case Operation::kNone:
        ShowMessage(std::string(kDatabaseErrorMessage), MessageIcon::kStop);
        break;
      case Operation::kInstall:
        ShowMessage("Corvane Service Failed To Install.", MessageIcon::kStop);
        break;
      case Operation::kUninstall:
        ShowMessage("Corvane Service Failed To Uninstall.", MessageIcon::kStop);
        break;
    }
    return 1;
  }
}

void FrmCorvaneSrv::dartSvc_State() {
  try {
    switch (dartSvc_.State()) {
      case 0:
        WriteAppEvent(kForm, "dartSvc_State", "Service Stopped", EntryType::kInformation);
        context_.PauseWithEvents(2000);
        break;
      case 1:
        WriteAppEvent(kForm, "dartSvc_State", "Pause Not Implemented", EntryType::kInformation);
        break;
      case 2:
        StartSequence();
        break;
      case 3:
        WriteAppEvent(kForm, "dartSvc_State", "Resume Not Implemented", EntryType::kInformation);
        break;
      default:
        break;
    }
  } catch (const std::exception& failure) {
    WriteAppEvent(kForm, "dartSvc_State", failure.what(), EntryType::kError);
  }
}

void FrmCorvaneSrv::StartSequence() {
  ServiceState& state = context_.state;
  if (!state.DbConnectString.empty()) return;  // once per process
  Read_ini(context_);
  state.DbConnectString = DbConnectString(state.AppFolder);
  // The service's debug files and event file of an earlier run; a missing
  // Debug folder simply holds none.
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(state.AppFolder / "Debug", error)) {
    if (entry.is_regular_file() && entry.path().filename().string().starts_with("s-")) {
      std::filesystem::remove(entry.path());
    }
  }
  state.settings = ReadGeneralSettings(state.DbConnectString, SettingsRead::kAtStart);
  state.SecondsToNextPoll = state.settings.LogCheckInterval;
  snmpAgent_.Open();
  context_.PauseWithEvents(1000);
  state.TrapsAllowed = true;
  state.ServiceStartTime = clock_.Now();
  state.StoredHour = static_cast<int16_t>(platform::LocalHour(state.ServiceStartTime));
  state.FirstCycle = true;
  timer1_->Start();
  WriteAppEvent(kForm, "dartSvc_State", "Service Started, Version " + state.settings.ProgVersion,
                EntryType::kInformation);
}

void FrmCorvaneSrv::timer1_Timer() {
  ServiceState& state = context_.state;
  state.SecondsToNextPoll -= 30;
  if (state.SecondsToNextPoll > 0) return;
  PollingCycle();
}

void FrmCorvaneSrv::snmpAgent_Error(int number, const std::string& description) {
  service::snmpAgent_Error(context_, number, description);
}

void FrmCorvaneSrv::PollingCycle() { service::PollingCycle(context_, *timer1_, senders_); }

void FrmCorvaneSrv::WriteAppEvent(std::string_view module, std::string_view procedure, std::string_view text,
                                  EntryType type) {
  // Any failure here ends the writer silently: there is nowhere left to
  // report it.
  try {
    const ServiceState& state = context_.state;
    std::string line = platform::FormatDateTime(clock_.Now());
    line += '\t';
    line += std::to_string(static_cast<int>(type));
    line += '\t';
    line += module;
    line += '_';
    line += procedure;
    line += '\t';
    line += text;
    platform::AppendTextLine(state.AppFolder / "Debug" / "AppEventCorvane.txt", line);
    context_.PauseWithEvents(500);
    SendInfoTrap(context_, module, procedure, text, type);
  } catch (...) {
  }
}

}  // namespace corvane::service
