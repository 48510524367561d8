#include "syslog/udp_port.h"

#include <cstdio>
#include <new>

#include "syslog/error_codes.h"

namespace ostrel {
namespace {

constexpr int32_t kLargestPacket = 65536;
constexpr int32_t kSystemBufferSize = 65536;

std::string QosText(const char* what, uint32_t last_error) {
  char text[120];
  std::snprintf(text, sizeof text, "%s (error 0x%x).", what, last_error);
  return text;
}

bool IsZero(const os::SocketAddress& address) {
  for (uint8_t byte : address.bytes) {
    if (byte != 0) return false;
  }
  return true;
}

}  // namespace

UDPPort::UDPPort(os::SocketApi& api) : SocketCore(api) {
  remote_v4_.bytes = {255, 255, 255, 255};
  receive_buffer_.resize(static_cast<size_t>(max_packet_size_) + 1);
}

UDPPort::~UDPPort() {
  // Destruction closes without draining: nobody is left to hear the events.
  if (active()) CloseSocket();
}

os::SocketAddress UDPPort::RemoteAddress() const {
  os::SocketAddress address = use_ipv6_ ? remote_v6_ : remote_v4_;
  address.port = static_cast<uint16_t>(remote_port_);
  return address;
}

int64_t UDPPort::HandleWindowMessage(const WindowMessage& message) {
  if (message.id != WindowMessage::kSocketNotify || message.socket != socket_ || !active()) {
    return SocketCore::HandleWindowMessage(message);
  }
  if (message.event == WindowMessage::kRead) {
    if (receiving_enabled_ && !in_receive_) {
      in_receive_ = true;
      // While handlers run, a nested event loop must not see this readiness
      // again; the running loop reads whatever waits.
      window_->SetReadEnabled(false);
      ReceiveLoop(/*draining=*/false);
      in_receive_ = false;
      if (close_pending_)
        Close();
      else if (active())
        window_->SetReadEnabled(true);
    }
  } else if (message.event == WindowMessage::kWrite) {
    OnReadyToSend();
  }
  return 0;
}

int UDPPort::Activate() {
  ClearErrorText();
  if (active()) return Fail(code::kAlreadyActive, text::kAlreadyActive);
  close_pending_ = false;
  received_length_ = 0;
  if (remote_port_ == 0 && use_connection_) {
    return Fail(code::kRemotePortZero, text::kRemotePortZeroConnected);
  }
  const bool ipv6 = use_ipv6_;
  os::SocketHandle handle = os::kNoSocket;
  if (int result = api_.Open(ipv6 ? os::Family::kIpv6 : os::Family::kIpv4, &handle)) return result;
  auto fail_closed = [&](int result) {
    api_.Close(handle);
    return result;
  };
  if (share_local_port_) api_.SetOption(handle, os::SocketOption::kReuseAddress, 1);

  os::SocketAddress local = ipv6 ? local_v6_ : local_v4_;
  local.port = static_cast<uint16_t>(local_port_);
  if (int result = api_.Bind(handle, local)) return fail_closed(result);

  const bool modern_system = api_.OsMajorVersion() > 5;
  auto buffer_applies = [&](int32_t size) {
    return size != 0 && !(size == kSystemBufferSize && modern_system);
  };
  if (buffer_applies(in_buffer_size_)) {
    api_.SetOption(handle, os::SocketOption::kReceiveBuffer, in_buffer_size_);
  }
  if (buffer_applies(out_buffer_size_)) {
    api_.SetOption(handle, os::SocketOption::kSendBuffer, out_buffer_size_);
  }
  api_.SetOption(handle, os::SocketOption::kDontRoute, dont_route_ ? 1 : 0);
  if (type_of_service_ != 0) {
    api_.SetOption(handle, os::SocketOption::kTypeOfService, type_of_service_);
  }
  if (time_to_live_ != 0) {
    api_.SetOption(handle, ipv6 ? os::SocketOption::kIpv6HopLimit : os::SocketOption::kTimeToLive,
                   time_to_live_);
  }
  if (!ipv6) api_.SetOption(handle, os::SocketOption::kBroadcast, 1);

  if (use_connection_) {
    const os::SocketAddress remote = RemoteAddress();
    const int result = api_.Connect(handle, remote);
    if (result != 0 && result != code::kWouldBlock) return fail_closed(result);
    if (qos_traffic_type_ != 0) {
      uint32_t last_error = 0;
      if (!has_qos_handle_) {
        if (!api_.QosCreateHandle(&qos_handle_, &last_error)) {
          api_.Close(handle);
          return Fail(code::kQosInit,
                      QosText("Could not initialize the QOS/QWave subsystem", last_error));
        }
        has_qos_handle_ = true;
      }
      if (!api_.QosAddSocketToFlow(qos_handle_, handle, remote, qos_traffic_type_, &flow_id_,
                                   &last_error)) {
        flow_id_ = 0;
        api_.Close(handle);
        return Fail(code::kQosSetup, QosText("Could not set QOS parameters on socket", last_error));
      }
      has_flow_ = true;
    }
  }

  if (!window_->Select(handle)) {
    api_.Close(handle);
    if (has_flow_) {
      api_.QosRemoveSocketFromFlow(qos_handle_, handle, flow_id_);
      has_flow_ = false;
      flow_id_ = 0;
    }
    return Fail(10022, "No event loop on this thread to deliver socket notifications.");
  }
  socket_ = handle;
  ++socket_generation_;
  return 0;
}

int UDPPort::CloseSocket() {
  window_->Deselect();
  const int result = api_.Close(socket_);
  if (has_flow_) {
    api_.QosRemoveSocketFromFlow(qos_handle_, socket_, flow_id_);
    has_flow_ = false;
    flow_id_ = 0;
  }
  socket_ = os::kNoSocket;
  close_pending_ = false;
  return result;
}

int UDPPort::Close() {
  ClearErrorText();
  if (!active()) {
    close_pending_ = false;
    return 0;
  }
  if (in_receive_) {
    close_pending_ = true;
    return 0;
  }
  return DrainAndClose();
}

int UDPPort::DrainAndClose() {
  const uint64_t generation = socket_generation_;
  // The drain reads everything itself; a handler's event processing must not
  // start a second loop on the same socket.
  window_->SetReadEnabled(false);
  ReceiveLoop(/*draining=*/true);
  // A handler of the drain may have closed the socket itself, or closed it
  // and opened a new one; that one is not ours to close.
  if (!active() || socket_generation_ != generation) return 0;
  return CloseSocket();
}

int UDPPort::ReceiveLoop(bool draining) {
  const uint64_t generation = socket_generation_;
  while (active() && receiving_enabled_ && socket_generation_ == generation) {
    if (!draining && close_pending_) {
      in_receive_ = false;
      return DrainAndClose();
    }
    received_length_ = 0;
    const size_t capacity = static_cast<size_t>(max_packet_size_);
    os::IoResult received;
    os::SocketAddress from;
    if (use_connection_) {
      received = api_.Receive(socket_, receive_buffer_.data(), capacity);
      from = RemoteAddress();
    } else {
      received = api_.ReceiveFrom(socket_, receive_buffer_.data(), capacity, &from);
    }
    if (received.error == 0 && received.bytes == 0) {
      if (!draining) in_receive_ = false;
      return 0;
    }
    if (received.error != 0) {
      if (received.error == code::kWouldBlock || received.error == code::kNotSocket) return 0;
      OnError(received.error, received.error == code::kConnectionReset
                                  ? text::kDestinationUnreachable
                                  : text::kReceiveError);
      return 0;
    }
    received_length_ = received.bytes;
    const std::string address = api_.AddressText(from);
    if (int result = OnDataIn(receive_buffer_.data(), received.bytes, address, from.port)) {
      return result;
    }
  }
  return 0;
}

int UDPPort::Send(const uint8_t* data, size_t length) {
  ClearErrorText();
  if (!active()) return Fail(code::kNotActive, text::kNotActive);
  if (length == 0) return 0;
  if (remote_port_ == 0) return Fail(code::kRemotePortZero, text::kRemotePortZero);
  const os::IoResult sent = use_connection_ ? api_.Send(socket_, data, length)
                                            : api_.SendTo(socket_, data, length, RemoteAddress());
  if (sent.error == code::kWouldBlock) window_->RearmWrite();
  return sent.error;
}

int UDPPort::SetRemoteHost(const std::string& name) {
  ClearErrorText();
  if (use_connection_ && active()) {
    return Fail(code::kRemoteHostWithConnection, text::kRemoteHostWithConnection);
  }
  remote_v6_ = AnyIpv6();
  remote_v4_ = os::SocketAddress{};
  if (name.empty()) return 0;
  if (name == "255.255.255.255") {
    remote_v4_.bytes = {255, 255, 255, 255};
    return 0;
  }
  if (use_ipv6_) return ResolveIpv6(name, /*datagram_only=*/true, &remote_v6_);
  os::SocketAddress address;
  if (api_.ParseIpv4(name, &address)) {
    remote_v4_ = address;
    return 0;
  }
  const int result = api_.LookUpIpv4(name, &address);
  if (result == code::kNotInitialised) return 0;
  if (result != 0) return result;
  remote_v4_ = address;
  return 0;
}

int UDPPort::SetRemotePort(int32_t port) {
  ClearErrorText();
  if (use_connection_ && active()) {
    return Fail(code::kRemotePortWithConnection, text::kRemotePortWithConnection);
  }
  remote_port_ = port;
  return 0;
}

int UDPPort::SetLocalPort(int32_t port) {
  ClearErrorText();
  if (active()) return Fail(code::kLocalPortWhileActive, text::kLocalPortWhileActive);
  local_port_ = port;
  return 0;
}

std::string UDPPort::RemoteHostText() {
  if (use_ipv6_) return api_.AddressText(remote_v6_);
  if (IsZero(remote_v4_)) return {};
  return api_.AddressText(remote_v4_);
}

int32_t UDPPort::LocalPort() {
  if (!active()) return local_port_;
  os::SocketAddress bound;
  if (api_.LocalAddress(socket_, &bound) != 0) return local_port_;
  return bound.port;
}

std::string UDPPort::GetLocalHost() {
  if (!active()) return SocketCore::GetLocalHost();
  os::SocketAddress bound;
  if (api_.LocalAddress(socket_, &bound) != 0) return {};
  bound.port = 0;
  return api_.AddressText(bound);
}

int UDPPort::SetLocalHost(const std::string& name) {
  ClearErrorText();
  if (active()) return Fail(code::kLocalHostWhileActive, text::kLocalHostWhileActive);
  return SocketCore::SetLocalHost(name);
}

int UDPPort::OnDataIn(const uint8_t* data, size_t length, const std::string& address,
                      int32_t port) {
  if (on_raw_data) on_raw_data(data, length, address, port);
  return 0;
}

void UDPPort::OnError(int error_code, std::string_view description) {
  if (sink_) sink_->FireError(error_code, description);
}

void UDPPort::OnReadyToSend() {
  if (on_ready) on_ready();
}

int UDPPort::ApplyBufferSize(os::SocketOption option, int32_t size) {
  if (!active() || size == 0 || (size == kSystemBufferSize && api_.OsMajorVersion() > 5)) return 0;
  return api_.SetOption(socket_, option, size);
}

int UDPPort::ApplyConfig(const ConfigRequest& request, std::string* result) {
  const std::string& name = request.name;
  auto boolean = [&](bool& setting) {
    if (request.query)
      *result = ConfigBoolText(setting);
    else
      setting = ConfigBool(request.value);
    return 0;
  };
  const int32_t number = ConfigNumber(request.value);

  if (NameIs(name, "UseConnection")) {
    if (!request.query && active()) {
      return Fail(code::kUseConnectionWhileActive, text::kUseConnectionWhileActive);
    }
    return boolean(use_connection_);
  }
  if (NameIs(name, "ShareLocalPort")) return boolean(share_local_port_);
  if (NameIs(name, "MaxPacketSize")) {
    if (request.query) {
      *result = std::to_string(max_packet_size_);
      return 0;
    }
    if (active()) return Fail(code::kMaxPacketSizeWhileActive, text::kMaxPacketSizeWhileActive);
    const int32_t size = number < 0 || number > kLargestPacket ? kLargestPacket : number;
    try {
      std::vector<uint8_t> buffer(static_cast<size_t>(size) + 1);
      receive_buffer_.swap(buffer);
    } catch (const std::bad_alloc&) {
      return Fail(code::kOutOfMemory, text::kOutOfMemory);
    }
    max_packet_size_ = size;
    return 0;
  }
  if (NameIs(name, "QOSFlags")) {
    if (request.query) {
      int current = type_of_service_;
      if (active()) api_.GetOption(socket_, os::SocketOption::kTypeOfService, &current);
      *result = std::to_string(current);
      return 0;
    }
    if (active() && !(number == 0 && type_of_service_ == 0)) {
      if (int failure = api_.SetOption(socket_, os::SocketOption::kTypeOfService, number)) {
        return failure;
      }
    }
    type_of_service_ = number;
    return 0;
  }
  if (NameIs(name, "SocketHandle") && request.query) {
    *result = std::to_string(active() ? socket_ : -1);
    return 0;
  }
  if (NameIs(name, "InBufferSize") || NameIs(name, "OutBufferSize")) {
    const bool in = NameIs(name, "InBufferSize");
    int32_t& setting = in ? in_buffer_size_ : out_buffer_size_;
    if (request.query) {
      *result = std::to_string(setting);
      return 0;
    }
    setting = number;
    return ApplyBufferSize(in ? os::SocketOption::kReceiveBuffer : os::SocketOption::kSendBuffer,
                           number);
  }
  if (NameIs(name, "TimeToLive") || NameIs(name, "TTL")) {
    if (request.query) {
      *result = std::to_string(time_to_live_);
      return 0;
    }
    time_to_live_ = number;
    if (active() && number != 0) {
      const auto option =
          use_ipv6_ ? os::SocketOption::kIpv6HopLimit : os::SocketOption::kTimeToLive;
      if (int failure = api_.SetOption(socket_, option, number)) {
        int current = 0;
        if (api_.GetOption(socket_, option, &current) == 0) time_to_live_ = current;
        return failure;
      }
    }
    return 0;
  }
  return SocketCore::ApplyConfig(request, result);
}

}  // namespace ostrel
