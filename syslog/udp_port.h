#pragma once
// The datagram layer of the control's engine: remote and local endpoints,
// socket options, activation and closing, the receive loop that hands every
// datagram to OnDataIn, and the send.

#include <functional>
#include <vector>

#include "syslog/socket_core.h"

namespace ostrel {

class UDPPort : public SocketCore {
 public:
  explicit UDPPort(os::SocketApi& api);
  ~UDPPort() override;

  void Reserved() override {}
  int64_t HandleWindowMessage(const WindowMessage& message) override;
  int ApplyConfig(const ConfigRequest& request, std::string* result) override;
  std::string GetLocalHost() override;
  int SetLocalHost(const std::string& name) override;
  // The raw data event: hands the datagram on and succeeds.
  int OnDataIn(const uint8_t* data, size_t length, const std::string& address,
               int32_t port) override;
  void OnError(int error_code, std::string_view description) override;
  void OnReadyToSend() override;

  int Activate();
  int Close();
  int SetRemoteHost(const std::string& name);
  int SetRemotePort(int32_t port);
  int SetLocalPort(int32_t port);
  int Send(const uint8_t* data, size_t length);

  bool active() const { return socket_ != os::kNoSocket; }
  std::string RemoteHostText();
  int32_t LocalPort();
  int32_t remote_port() const { return remote_port_; }
  int32_t stored_local_port() const { return local_port_; }

  // Events of this layer that are not part of the control's interface.
  std::function<void(const uint8_t*, size_t, const std::string&, int32_t)> on_raw_data;
  std::function<void()> on_ready;

 protected:
  // Reads every waiting datagram; draining reads on even while closing.
  int ReceiveLoop(bool draining);
  // Closing steps 3 and 4: drain, then close.
  int DrainAndClose();
  int CloseSocket();
  os::SocketAddress RemoteAddress() const;
  int ApplyBufferSize(os::SocketOption option, int32_t size);

  os::SocketHandle socket_ = os::kNoSocket;
  // Counts opened sockets, so a drain notices a handler that reopened the port.
  uint64_t socket_generation_ = 0;
  os::SocketAddress remote_v4_;
  os::SocketAddress remote_v6_ = AnyIpv6();
  int32_t remote_port_ = 514;
  int32_t local_port_ = 514;
  bool use_connection_ = false;
  bool share_local_port_ = false;
  int32_t in_buffer_size_ = 65536;
  int32_t out_buffer_size_ = 65536;
  int32_t time_to_live_ = 0;
  int32_t type_of_service_ = 0;
  bool dont_route_ = false;
  bool has_flow_ = false;
  uint32_t flow_id_ = 0;
  std::vector<uint8_t> receive_buffer_;
  size_t received_length_ = 0;
  int32_t max_packet_size_ = 8192;
  bool in_receive_ = false;
  bool close_pending_ = false;
  bool receiving_enabled_ = true;
};

}  // namespace ostrel
