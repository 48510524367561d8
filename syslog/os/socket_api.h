#pragma once
// The operating system's datagram sockets, resolver and QOS library, wrapped
// once so the engine speaks only Winsock codes and never touches errno. The
// operations are virtual so a test can fail a send on purpose, where a real
// socket cannot. Every result carries a Winsock code: 0 on success.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ostrel::os {

using SocketHandle = int64_t;
constexpr SocketHandle kNoSocket = -1;

enum class Family { kIpv4, kIpv6 };

// An endpoint: for IPv4 the first four bytes hold the address in network
// order; for IPv6 all sixteen, with the scope. The port is in host order.
struct SocketAddress {
  Family family = Family::kIpv4;
  std::array<uint8_t, 16> bytes{};
  uint32_t scope_id = 0;
  uint32_t flow_info = 0;
  uint16_t port = 0;
};

enum class SocketOption {
  kReuseAddress,
  kReceiveBuffer,
  kSendBuffer,
  kDontRoute,
  kTypeOfService,
  kTimeToLive,
  kIpv6HopLimit,
  kBroadcast,
};

enum class Readiness { kRead, kWrite };

struct IoResult {
  int error = 0;  // Winsock code
  size_t bytes = 0;
};

class SocketApi {
 public:
  virtual ~SocketApi() = default;

  // A non-blocking datagram socket.
  virtual int Open(Family family, SocketHandle* handle);
  virtual int Close(SocketHandle handle);
  virtual int Bind(SocketHandle handle, const SocketAddress& address);
  virtual int Connect(SocketHandle handle, const SocketAddress& address);
  virtual IoResult Send(SocketHandle handle, const uint8_t* data, size_t length);
  virtual IoResult SendTo(SocketHandle handle, const uint8_t* data, size_t length,
                          const SocketAddress& to);
  // A datagram longer than `capacity` is consumed and reported as 10040.
  virtual IoResult Receive(SocketHandle handle, uint8_t* buffer, size_t capacity);
  virtual IoResult ReceiveFrom(SocketHandle handle, uint8_t* buffer, size_t capacity,
                               SocketAddress* from);
  virtual int SetOption(SocketHandle handle, SocketOption option, int value);
  virtual int GetOption(SocketHandle handle, SocketOption option, int* value);
  virtual int LocalAddress(SocketHandle handle, SocketAddress* address);

  // Dotted IPv4 text in any form the classic parser reads ("10.1", "0x7f.1").
  virtual bool ParseIpv4(const std::string& text, SocketAddress* address);
  // The host database: first IPv4 address of a name; resolver codes 11001-11004.
  virtual int LookUpIpv4(const std::string& name, SocketAddress* address);
  // The address lookup for IPv6, for datagram sockets or any socket type.
  virtual int LookUpIpv6(const std::string& name, bool datagram_only, SocketAddress* address);
  // Numeric text of an address ("%d.%d.%d.%d", or the numeric IPv6 form).
  virtual std::string AddressText(const SocketAddress& address);
  // The machine's host name, at most 99 characters; empty when it cannot be read.
  virtual std::string HostName();

  // The QOS library. It does not exist here, so creating a handle fails and
  // reports the system's last error for a missing library.
  virtual bool QosCreateHandle(uintptr_t* handle, uint32_t* last_error);
  virtual void QosCloseHandle(uintptr_t handle);
  virtual bool QosAddSocketToFlow(uintptr_t handle, SocketHandle socket, const SocketAddress& to,
                                  int traffic_type, uint32_t* flow_id, uint32_t* last_error);
  virtual void QosRemoveSocketFromFlow(uintptr_t handle, SocketHandle socket, uint32_t flow_id);

  // The operating system's major version; current systems count as above 5.
  virtual int OsMajorVersion() { return 10; }
};

// The process's real sockets.
SocketApi& SystemSocketApi();

// Winsock's twin of an errno value.
int WinsockCodeFromErrno(int error);

}  // namespace ostrel::os
