#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "syslog/os/socket_api.h"

namespace ostrel::os {
namespace {

constexpr int kWsaSysCallFailure = 10107;
constexpr int kWsaHostNotFound = 11001;
constexpr int kWsaTryAgain = 11002;
constexpr int kWsaNoRecovery = 11003;
constexpr int kWsaNoData = 11004;
constexpr int kWsaMessageSize = 10040;
constexpr int kWsaNoBufferSpace = 10055;
// What the system reports when a library cannot be found.
constexpr uint32_t kErrorModuleNotFound = 0x7e;

int LastError() { return WinsockCodeFromErrno(errno); }

socklen_t ToSockaddr(const SocketAddress& address, sockaddr_storage* storage) {
  std::memset(storage, 0, sizeof *storage);
  if (address.family == Family::kIpv4) {
    auto* in = reinterpret_cast<sockaddr_in*>(storage);
    in->sin_family = AF_INET;
    in->sin_port = htons(address.port);
    std::memcpy(&in->sin_addr, address.bytes.data(), 4);
    return sizeof(sockaddr_in);
  }
  auto* in6 = reinterpret_cast<sockaddr_in6*>(storage);
  in6->sin6_family = AF_INET6;
  in6->sin6_port = htons(address.port);
  in6->sin6_flowinfo = htonl(address.flow_info);
  in6->sin6_scope_id = address.scope_id;
  std::memcpy(&in6->sin6_addr, address.bytes.data(), 16);
  return sizeof(sockaddr_in6);
}

SocketAddress FromSockaddr(const sockaddr* raw) {
  SocketAddress address;
  if (raw->sa_family == AF_INET6) {
    const auto* in6 = reinterpret_cast<const sockaddr_in6*>(raw);
    address.family = Family::kIpv6;
    address.port = ntohs(in6->sin6_port);
    address.flow_info = ntohl(in6->sin6_flowinfo);
    address.scope_id = in6->sin6_scope_id;
    std::memcpy(address.bytes.data(), &in6->sin6_addr, 16);
  } else if (raw->sa_family == AF_INET) {
    const auto* in = reinterpret_cast<const sockaddr_in*>(raw);
    address.port = ntohs(in->sin_port);
    std::memcpy(address.bytes.data(), &in->sin_addr, 4);
  }
  return address;
}

int ResolverCode(int eai) {
  switch (eai) {
    case 0:
      return 0;
    case EAI_NONAME:
      return kWsaHostNotFound;
    case EAI_AGAIN:
      return kWsaTryAgain;
#ifdef EAI_NODATA
    case EAI_NODATA:
      return kWsaNoData;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
      return kWsaNoData;
#endif
    case EAI_MEMORY:
      return kWsaNoBufferSpace;
    case EAI_SYSTEM:
      return LastError();
    default:
      return kWsaNoRecovery;
  }
}

bool OptionLevel(SocketOption option, int* level, int* name) {
  switch (option) {
    case SocketOption::kReuseAddress:
      *level = SOL_SOCKET;
      *name = SO_REUSEADDR;
      return true;
    case SocketOption::kReceiveBuffer:
      *level = SOL_SOCKET;
      *name = SO_RCVBUF;
      return true;
    case SocketOption::kSendBuffer:
      *level = SOL_SOCKET;
      *name = SO_SNDBUF;
      return true;
    case SocketOption::kDontRoute:
      *level = SOL_SOCKET;
      *name = SO_DONTROUTE;
      return true;
    case SocketOption::kBroadcast:
      *level = SOL_SOCKET;
      *name = SO_BROADCAST;
      return true;
    case SocketOption::kTypeOfService:
      *level = IPPROTO_IP;
      *name = IP_TOS;
      return true;
    case SocketOption::kTimeToLive:
      *level = IPPROTO_IP;
      *name = IP_TTL;
      return true;
    case SocketOption::kIpv6HopLimit:
      *level = IPPROTO_IPV6;
      *name = IPV6_UNICAST_HOPS;
      return true;
  }
  return false;
}

IoResult ReceiveMessage(SocketHandle handle, uint8_t* buffer, size_t capacity,
                        SocketAddress* from) {
  sockaddr_storage storage{};
  iovec vector{buffer, capacity};
  msghdr message{};
  message.msg_iov = &vector;
  message.msg_iovlen = 1;
  if (from) {
    message.msg_name = &storage;
    message.msg_namelen = sizeof storage;
  }
  const ssize_t received = ::recvmsg(static_cast<int>(handle), &message, 0);
  if (received < 0) return {LastError(), 0};
  // A datagram that did not fit is gone, as a receive that reports it too long.
  if (message.msg_flags & MSG_TRUNC) return {kWsaMessageSize, 0};
  if (from) *from = FromSockaddr(reinterpret_cast<const sockaddr*>(&storage));
  return {0, static_cast<size_t>(received)};
}

}  // namespace

int WinsockCodeFromErrno(int error) {
  switch (error) {
    case 0:
      return 0;
    case EPERM:
      return 10013;
    case EINTR:
      return 10004;
    case EBADF:
      return 10009;
    case EACCES:
      return 10013;
    case EFAULT:
      return 10014;
    case EINVAL:
      return 10022;
    case EMFILE:
      return 10024;
    case ENFILE:
      return 10024;
    case EWOULDBLOCK:
      return 10035;
    case EINPROGRESS:
      return 10036;
    case EALREADY:
      return 10037;
    case ENOTSOCK:
      return 10038;
    case EDESTADDRREQ:
      return 10039;
    case EMSGSIZE:
      return 10040;
    case EPROTOTYPE:
      return 10041;
    case ENOPROTOOPT:
      return 10042;
    case EPROTONOSUPPORT:
      return 10043;
    case ESOCKTNOSUPPORT:
      return 10044;
    case EOPNOTSUPP:
      return 10045;
    case EPFNOSUPPORT:
      return 10046;
    case EAFNOSUPPORT:
      return 10047;
    case EADDRINUSE:
      return 10048;
    case EADDRNOTAVAIL:
      return 10049;
    case ENETDOWN:
      return 10050;
    case ENETUNREACH:
      return 10051;
    case ENETRESET:
      return 10052;
    case ECONNABORTED:
      return 10053;
    case ECONNRESET:
      return 10054;
    // A datagram socket hears of an earlier datagram's closed port this way.
    case ECONNREFUSED:
      return 10054;
    case ENOBUFS:
      return 10055;
    case ENOMEM:
      return 10055;
    case EISCONN:
      return 10056;
    case ENOTCONN:
      return 10057;
    case ESHUTDOWN:
      return 10058;
    case EPIPE:
      return 10058;
    case ETOOMANYREFS:
      return 10059;
    case ETIMEDOUT:
      return 10060;
    case ELOOP:
      return 10062;
    case ENAMETOOLONG:
      return 10063;
    case EHOSTDOWN:
      return 10064;
    case EHOSTUNREACH:
      return 10065;
    case ENOTEMPTY:
      return 10066;
    case EUSERS:
      return 10068;
    case EDQUOT:
      return 10069;
    case ESTALE:
      return 10070;
    case EREMOTE:
      return 10071;
    default:
      // The low errno values are the same numbers Winsock offsets by 10000.
      return error > 0 && error < 35 ? 10000 + error : kWsaSysCallFailure;
  }
}

int SocketApi::Open(Family family, SocketHandle* handle) {
  const int fd = ::socket(family == Family::kIpv6 ? AF_INET6 : AF_INET,
                          SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return LastError();
  if (family == Family::kIpv6) {
    // Windows' IPv6 sockets carry IPv6 only; keep that, so two controls on one
    // port number (one per family) do not collide.
    const int on = 1;
    ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
  }
  *handle = fd;
  return 0;
}

int SocketApi::Close(SocketHandle handle) {
  return ::close(static_cast<int>(handle)) == 0 ? 0 : LastError();
}

namespace {

bool IsUnspecified(const SocketAddress& address) {
  for (size_t i = 0; i < (address.family == Family::kIpv4 ? 4u : 16u); ++i) {
    if (address.bytes[i] != 0) return false;
  }
  return true;
}

}  // namespace

int SocketApi::Bind(SocketHandle handle, const SocketAddress& address) {
  sockaddr_storage storage;
  const socklen_t length = ToSockaddr(address, &storage);
  return ::bind(static_cast<int>(handle), reinterpret_cast<sockaddr*>(&storage), length) == 0
             ? 0
             : LastError();
}

int SocketApi::Connect(SocketHandle handle, const SocketAddress& address) {
  // As with SendTo: connecting to 0.0.0.0 (or ::) would mean this host.
  if (IsUnspecified(address)) return 10049;
  sockaddr_storage storage;
  const socklen_t length = ToSockaddr(address, &storage);
  return ::connect(static_cast<int>(handle), reinterpret_cast<sockaddr*>(&storage), length) == 0
             ? 0
             : LastError();
}

IoResult SocketApi::Send(SocketHandle handle, const uint8_t* data, size_t length) {
  const ssize_t sent = ::send(static_cast<int>(handle), data, length, MSG_NOSIGNAL);
  if (sent < 0) return {LastError(), 0};
  return {0, static_cast<size_t>(sent)};
}

IoResult SocketApi::SendTo(SocketHandle handle, const uint8_t* data, size_t length,
                           const SocketAddress& to) {
  // Linux delivers a datagram for 0.0.0.0 (or ::) to this host; Windows
  // refuses that address, and a control with no RemoteHost must not quietly
  // talk to local services.
  if (IsUnspecified(to)) return {10049, 0};
  sockaddr_storage storage;
  const socklen_t address_length = ToSockaddr(to, &storage);
  const ssize_t sent = ::sendto(static_cast<int>(handle), data, length, MSG_NOSIGNAL,
                                reinterpret_cast<sockaddr*>(&storage), address_length);
  if (sent < 0) return {LastError(), 0};
  return {0, static_cast<size_t>(sent)};
}

IoResult SocketApi::Receive(SocketHandle handle, uint8_t* buffer, size_t capacity) {
  return ReceiveMessage(handle, buffer, capacity, nullptr);
}

IoResult SocketApi::ReceiveFrom(SocketHandle handle, uint8_t* buffer, size_t capacity,
                                SocketAddress* from) {
  return ReceiveMessage(handle, buffer, capacity, from);
}

int SocketApi::SetOption(SocketHandle handle, SocketOption option, int value) {
  int level, name;
  if (!OptionLevel(option, &level, &name)) return 10042;
  return ::setsockopt(static_cast<int>(handle), level, name, &value, sizeof value) == 0
             ? 0
             : LastError();
}

int SocketApi::GetOption(SocketHandle handle, SocketOption option, int* value) {
  int level, name;
  if (!OptionLevel(option, &level, &name)) return 10042;
  socklen_t length = sizeof *value;
  return ::getsockopt(static_cast<int>(handle), level, name, value, &length) == 0 ? 0 : LastError();
}

int SocketApi::LocalAddress(SocketHandle handle, SocketAddress* address) {
  sockaddr_storage storage{};
  socklen_t length = sizeof storage;
  if (::getsockname(static_cast<int>(handle), reinterpret_cast<sockaddr*>(&storage), &length) !=
      0) {
    return LastError();
  }
  *address = FromSockaddr(reinterpret_cast<const sockaddr*>(&storage));
  return 0;
}

bool SocketApi::ParseIpv4(const std::string& text, SocketAddress* address) {
  in_addr parsed{};
  if (::inet_aton(text.c_str(), &parsed) == 0) return false;
  *address = SocketAddress{};
  std::memcpy(address->bytes.data(), &parsed, 4);
  return true;
}

int SocketApi::LookUpIpv4(const std::string& name, SocketAddress* address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* answer = nullptr;
  const int result = ::getaddrinfo(name.c_str(), nullptr, &hints, &answer);
  if (result != 0) return ResolverCode(result);
  *address = FromSockaddr(answer->ai_addr);
  address->port = 0;
  ::freeaddrinfo(answer);
  return 0;
}

int SocketApi::LookUpIpv6(const std::string& name, bool datagram_only, SocketAddress* address) {
  addrinfo hints{};
  hints.ai_family = AF_INET6;
  if (datagram_only) hints.ai_socktype = SOCK_DGRAM;
  addrinfo* answer = nullptr;
  const int result = ::getaddrinfo(name.c_str(), nullptr, &hints, &answer);
  if (result != 0) return ResolverCode(result);
  *address = FromSockaddr(answer->ai_addr);
  ::freeaddrinfo(answer);
  return 0;
}

std::string SocketApi::AddressText(const SocketAddress& address) {
  if (address.family == Family::kIpv4) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", address.bytes[0], address.bytes[1],
                  address.bytes[2], address.bytes[3]);
    return text;
  }
  // The scope is written as its number, as Windows does, not as an
  // interface name.
  SocketAddress unscoped = address;
  unscoped.scope_id = 0;
  sockaddr_storage storage;
  const socklen_t length = ToSockaddr(unscoped, &storage);
  char text[60];
  if (::getnameinfo(reinterpret_cast<sockaddr*>(&storage), length, text, sizeof text, nullptr, 0,
                    NI_NUMERICHOST) != 0) {
    return {};
  }
  if (address.scope_id == 0) return text;
  return std::string(text) + "%" + std::to_string(address.scope_id);
}

std::string SocketApi::HostName() {
  char name[100];
  if (::gethostname(name, sizeof name) != 0) return {};
  name[sizeof name - 1] = '\0';
  return name;
}

bool SocketApi::QosCreateHandle(uintptr_t* handle, uint32_t* last_error) {
  *handle = 0;
  *last_error = kErrorModuleNotFound;
  return false;
}

void SocketApi::QosCloseHandle(uintptr_t) {}

bool SocketApi::QosAddSocketToFlow(uintptr_t, SocketHandle, const SocketAddress&, int,
                                   uint32_t* flow_id, uint32_t* last_error) {
  *flow_id = 0;
  *last_error = kErrorModuleNotFound;
  return false;
}

void SocketApi::QosRemoveSocketFromFlow(uintptr_t, SocketHandle, uint32_t) {}

SocketApi& SystemSocketApi() {
  static SocketApi api;
  return api;
}

}  // namespace ostrel::os
