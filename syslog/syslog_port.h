#pragma once
// The syslog layer of the control's engine: stamps and sends RFC 3164
// packets, and hands received datagrams on as PacketIn.

#include "platform/clock/clock.h"
#include "syslog/udp_port.h"

namespace ostrel {

class SysLogPort : public UDPPort {
 public:
  // `clock` is read for every packet header; it must outlive the engine.
  SysLogPort(os::SocketApi& api, corvane::platform::Clock& clock);
  ~SysLogPort() override;

  void Reserved() override {}
  int ApplyConfig(const ConfigRequest& request, std::string* result) override;
  int OnDataIn(const uint8_t* data, size_t length, const std::string& address,
               int32_t port) override;
  void OnError(int error_code, std::string_view description) override;
  void OnReadyToSend() override {}
  void OnPacketIn(const ReceivedPacket& packet) override;

  int SendPacket(int16_t facility, int16_t severity, std::string_view message);

  void set_clock(corvane::platform::Clock& clock) { clock_ = &clock; }
  const std::string& host_name() const { return host_name_; }

 private:
  std::string HostText();

  corvane::platform::Clock* clock_;
  bool use_local_time_ = false;
  bool use_hostname_ = true;
  std::string host_name_;
};

}  // namespace ostrel
