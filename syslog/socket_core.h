#pragma once
// The base layer of the control's engine: the per-operation error text, the
// code page, the notification window and its message wait, the local host,
// and the settings that belong to no socket. Each layer above overrides the
// virtual operations; the engine's other code always calls through them.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "syslog/config_request.h"
#include "syslog/notification_window.h"
#include "syslog/os/socket_api.h"

namespace ostrel {

// What the engine tells the control object, which fires the events.
struct ReceivedPacket {
  int16_t facility_code = 0;
  std::string_view facility;
  int16_t severity_code = 0;
  std::string_view severity;
  std::string timestamp;
  std::string hostname;
  std::string message;
  bool conforms = false;
  std::string_view packet;
  std::string source_address;
  int32_t source_port = 0;
};

class SysLogEventSink {
 public:
  virtual void SetCodePage(int code_page) = 0;
  virtual void FireError(int error_code, std::string_view description) = 0;
  virtual void FirePacketIn(const ReceivedPacket& packet) = 0;

 protected:
  ~SysLogEventSink() = default;
};

class SocketCore {
 public:
  explicit SocketCore(os::SocketApi& api);
  virtual ~SocketCore();
  SocketCore(const SocketCore&) = delete;
  SocketCore& operator=(const SocketCore&) = delete;

  // The first slot of every layer, kept empty.
  virtual void Reserved() {}
  virtual int64_t HandleWindowMessage(const WindowMessage& message);
  // Sets or queries one setting; `result` receives a query's text.
  virtual int ApplyConfig(const ConfigRequest& request, std::string* result);
  virtual std::string GetLocalHost();
  virtual int SetLocalHost(const std::string& name);
  // One step of the message wait; false when the caller should stop.
  virtual bool PumpMessages(int wait_ms);
  virtual int OnDataIn(const uint8_t*, size_t, const std::string&, int32_t) { return 0; }
  virtual void OnError(int, std::string_view) {}
  virtual void OnReadyToSend() {}
  virtual void OnPacketIn(const ReceivedPacket&) {}

  // Config from the interface: parses the argument and dispatches it.
  int Config(std::string_view argument, std::string* result);
  int DoEvents() {
    PumpMessages(select_wait_millis_);
    return 0;
  }

  const std::string& error_text() const { return error_text_; }
  void ClearErrorText() { error_text_.clear(); }
  int code_page() const { return code_page_; }
  bool use_ipv6() const { return use_ipv6_; }
  void set_event_sink(SysLogEventSink* sink) { sink_ = sink; }

 protected:
  int Fail(int code, std::string_view text) {
    error_text_.assign(text);
    return code;
  }
  // Resolution shared by the local and remote hosts (IPv6 lookup with an
  // optional "%scope"); returns a component or resolver code.
  int ResolveIpv6(const std::string& name, bool datagram_only, os::SocketAddress* address);
  static os::SocketAddress AnyIpv6() {
    os::SocketAddress address;
    address.family = os::Family::kIpv6;
    return address;
  }

  os::SocketApi& api_;
  SysLogEventSink* sink_ = nullptr;
  std::unique_ptr<NotificationWindow> window_;
  std::string error_text_;

  os::SocketAddress local_v4_;
  os::SocketAddress local_v6_ = AnyIpv6();

  int32_t select_wait_millis_ = 20;
  bool absolute_timeout_ = false;
  bool timeout_in_milliseconds_ = false;
  bool ignore_external_events_ = false;
  bool dispatching_ = false;
  int32_t qos_traffic_type_ = 0;
  bool use_ipv6_ = false;
  std::string kerberos_spn_;
  bool use_system_sspi_ = false;
  std::string record_to_file_;
  int32_t code_page_ = 0;
  uint8_t charset_mode_;
  uintptr_t qos_handle_ = 0;
  bool has_qos_handle_ = false;
};

}  // namespace ostrel
