#include "syslog/socket_core.h"

#include <cstring>

#include "syslog/error_codes.h"
#include "syslog/os/code_page.h"

namespace ostrel {
namespace {

// What starting the socket library gave: POSIX sockets need no start-up, so
// the result is success and the version granted is the 2.2 that is asked for.
constexpr int kWinsockStatus = 0;
constexpr int kWinsockMajor = 2;
constexpr int kWinsockMinor = 2;

std::string Number(int64_t value) { return std::to_string(value); }

bool IsZero(const os::SocketAddress& address) {
  for (uint8_t byte : address.bytes) {
    if (byte != 0) return false;
  }
  return true;
}

struct TrafficTypeName {
  const char* name;
  int32_t value;
};
constexpr TrafficTypeName kTrafficTypes[] = {{"BestEffort", 0},      {"Background", 1},
                                             {"ExcellentEffort", 2}, {"AudioVideo", 3},
                                             {"Voice", 4},           {"Control", 5}};

}  // namespace

SocketCore::SocketCore(os::SocketApi& api)
    : api_(api),
      window_(std::make_unique<NotificationWindow>(
          [this](const WindowMessage& message) { HandleWindowMessage(message); })),
      charset_mode_(os::kAnsiCodePage == 932 ? 1 : 0) {}

SocketCore::~SocketCore() {
  window_.reset();
  if (has_qos_handle_) api_.QosCloseHandle(qos_handle_);
}

int64_t SocketCore::HandleWindowMessage(const WindowMessage&) {
  // Default processing. The Qt window receives no other messages, so
  // IgnoreExternalEvents has nothing to answer differently.
  return 0;
}

bool SocketCore::PumpMessages(int wait_ms) {
  dispatching_ = true;
  NotificationWindow::WaitStep(wait_ms);
  dispatching_ = false;
  return window_ != nullptr;
}

int SocketCore::Config(std::string_view argument, std::string* result) {
  ClearErrorText();
  result->clear();
  const ConfigRequest request = ParseConfigRequest(argument);
  return ApplyConfig(request, result);
}

int SocketCore::ApplyConfig(const ConfigRequest& request, std::string* result) {
  const std::string& name = request.name;
  const std::string& value = request.value;
  auto boolean = [&](bool& setting) {
    if (request.query)
      *result = ConfigBoolText(setting);
    else
      setting = ConfigBool(value);
    return 0;
  };
  auto number = [&](int32_t& setting) {
    if (request.query)
      *result = Number(setting);
    else
      setting = ConfigNumber(value);
    return 0;
  };
  auto text = [&](std::string& setting) {
    if (request.query)
      *result = setting;
    else
      setting = value;
    return 0;
  };

  if (NameIs(name, "SelectWaitMillis")) return number(select_wait_millis_);
  if (NameIs(name, "AbsoluteTimeout")) return boolean(absolute_timeout_);
  if (NameIs(name, "TimeoutInMilliseconds")) {
    // The control's timeout is always 0, so the unit changes nothing visible.
    if (request.query)
      *result = timeout_in_milliseconds_ ? "1" : "0";
    else
      timeout_in_milliseconds_ = ConfigBool(value);
    return 0;
  }
  if (NameIs(name, "WinsockStatus")) {
    if (request.query) *result = Number(kWinsockStatus);
    return 0;
  }
  if (NameIs(name, "IgnoreExternalEvents")) return boolean(ignore_external_events_);
  if (NameIs(name, "WinsockVersion")) {
    if (request.query) *result = Number(kWinsockMajor) + "." + Number(kWinsockMinor);
    return 0;
  }
  if (NameIs(name, "QOSTrafficType")) {
    if (request.query) {
      *result = Number(qos_traffic_type_);
      return 0;
    }
    for (const auto& type : kTrafficTypes) {
      if (NameIs(value, type.name)) {
        qos_traffic_type_ = type.value;
        return 0;
      }
    }
    qos_traffic_type_ = ConfigNumber(value);
    return 0;
  }
  if (NameIs(name, "UseIPv6")) return boolean(use_ipv6_);
  if (NameIs(name, "KerberosSPN")) return text(kerberos_spn_);
  if (NameIs(name, "UseSystemSSPI")) return boolean(use_system_sspi_);
  if (NameIs(name, "RecordToFile")) return text(record_to_file_);
  if (NameIs(name, "CodePage")) {
    if (request.query) {
      *result = Number(code_page_);
      return 0;
    }
    const int32_t code_page = ConfigNumber(value);
    // A code page without a converter would make every later string,
    // including the Config call that could undo it, unconvertible.
    if (!os::IsSupportedCodePage(code_page)) return Fail(10022, "Unsupported code page.");
    code_page_ = code_page;
    if (sink_) sink_->SetCodePage(code_page_);
    return 0;
  }
  if (NameIs(name, "CharsetMode")) {
    if (request.query)
      *result = Number(charset_mode_);
    else
      charset_mode_ = static_cast<uint8_t>(ConfigNumber(value));
    return 0;
  }
  return Fail(code::kUnknownConfig, text::kUnknownConfig);
}

std::string SocketCore::GetLocalHost() {
  if (use_ipv6_) {
    if (!IsZero(local_v6_)) return api_.AddressText(local_v6_);
  } else if (!IsZero(local_v4_)) {
    return api_.AddressText(local_v4_);
  }
  return api_.HostName();
}

int SocketCore::SetLocalHost(const std::string& name) {
  ClearErrorText();
  local_v4_ = os::SocketAddress{};
  local_v6_ = AnyIpv6();
  if (name.empty()) return 0;
  if (use_ipv6_) return ResolveIpv6(name, /*datagram_only=*/false, &local_v6_);
  os::SocketAddress address;
  if (api_.ParseIpv4(name, &address)) {
    local_v4_ = address;
    return 0;
  }
  const int result = api_.LookUpIpv4(name, &address);
  if (result == code::kNotInitialised) return 0;
  if (result != 0) return result;
  local_v4_ = address;
  return 0;
}

int SocketCore::ResolveIpv6(const std::string& name, bool datagram_only,
                            os::SocketAddress* address) {
  std::string host = name;
  bool has_scope = false;
  uint32_t scope = 0;
  if (const size_t percent = host.find('%'); percent != std::string::npos) {
    has_scope = true;
    for (size_t i = percent + 1; i < host.size() && host[i] >= '0' && host[i] <= '9'; ++i) {
      scope = scope * 10 + static_cast<uint32_t>(host[i] - '0');
    }
    host.resize(percent);
  }
  os::SocketAddress found;
  const int result = api_.LookUpIpv6(host, datagram_only, &found);
  if (result != 0) return result;
  found.port = 0;
  if (has_scope) found.scope_id = scope;
  *address = found;
  return 0;
}

}  // namespace ostrel
