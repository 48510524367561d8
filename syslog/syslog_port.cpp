#include "syslog/syslog_port.h"

#include <new>

#include "syslog/error_codes.h"
#include "syslog/os/calendar.h"
#include "syslog/packet_composer.h"

namespace ostrel {
namespace {

// What a datagram without a PRI part is delivered as.
constexpr int16_t kDefaultFacility = 1;
constexpr int16_t kDefaultSeverity = 5;
constexpr char kDefaultFacilityName[] = "User-level";
constexpr char kDefaultSeverityName[] = "Notice: Normal But Significant Condition";

}  // namespace

SysLogPort::SysLogPort(os::SocketApi& api, corvane::platform::Clock& clock)
    : UDPPort(api), clock_(&clock), host_name_(api.HostName()) {}

SysLogPort::~SysLogPort() = default;

int SysLogPort::ApplyConfig(const ConfigRequest& request, std::string* result) {
  auto boolean = [&](bool& setting) {
    if (request.query)
      *result = ConfigBoolText(setting);
    else
      setting = ConfigBool(request.value);
    return 0;
  };
  if (NameIs(request.name, "UseLocalTime")) return boolean(use_local_time_);
  if (NameIs(request.name, "UseHostname")) return boolean(use_hostname_);
  return UDPPort::ApplyConfig(request, result);
}

std::string SysLogPort::HostText() {
  if (use_hostname_) return host_name_;
  if (use_ipv6_) return api_.AddressText(local_v6_);
  const std::string local = SocketCore::GetLocalHost();
  os::SocketAddress address;
  if (api_.LookUpIpv4(local, &address) == 0) return api_.AddressText(address);
  return local;
}

int SysLogPort::SendPacket(int16_t facility, int16_t severity, std::string_view message) {
  ClearErrorText();
  const HeaderTime time = os::CalendarTime(clock_->Now(), use_local_time_);
  if (time.month < 1 || time.month > 12) return Fail(code::kNoValidTime, text::kNoValidTime);
  std::string packet;
  try {
    packet = ComposePacket(facility, severity, time, HostText(), message);
  } catch (const std::bad_alloc&) {
    return Fail(code::kOutOfMemory, text::kOutOfMemory);
  }
  return Send(reinterpret_cast<const uint8_t*>(packet.data()), packet.size());
}

int SysLogPort::OnDataIn(const uint8_t* data, size_t length, const std::string& address,
                         int32_t port) {
  // FIXME: the header is not parsed yet; until the parser lands, every
  // datagram is delivered as one without a PRI part.
  ReceivedPacket packet;
  try {
    packet.facility_code = kDefaultFacility;
    packet.facility = kDefaultFacilityName;
    packet.severity_code = kDefaultSeverity;
    packet.severity = kDefaultSeverityName;
    packet.packet = std::string_view(reinterpret_cast<const char*>(data), length);
    packet.message.assign(packet.packet);
    packet.source_address = address;
    packet.source_port = port;
  } catch (const std::bad_alloc&) {
    return code::kOutOfMemory;
  }
  OnPacketIn(packet);
  return 0;
}

void SysLogPort::OnError(int error_code, std::string_view description) {
  UDPPort::OnError(error_code, description);
}

void SysLogPort::OnPacketIn(const ReceivedPacket& packet) {
  if (sink_) sink_->FirePacketIn(packet);
}

}  // namespace ostrel
