#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "platform/snmp/udp_socket.h"

namespace corvane::platform::snmp_internal {

int UdpSocket::Open() {
  if (fd_ >= 0) return 0;
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return errno;
  fd_ = fd;
  return 0;
}

void UdpSocket::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

int UdpSocket::Connect(const std::array<uint8_t, 4>& address, uint16_t port) {
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  std::memcpy(&peer.sin_addr, address.data(), address.size());
  return ::connect(fd_, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0 ? 0 : errno;
}

int UdpSocket::Disconnect() {
  sockaddr unspecified{};
  unspecified.sa_family = AF_UNSPEC;
  return ::connect(fd_, &unspecified, sizeof unspecified) == 0 ? 0 : errno;
}

int UdpSocket::Send(std::span<const uint8_t> datagram) {
  const ssize_t sent = ::send(fd_, datagram.data(), datagram.size(), MSG_NOSIGNAL);
  if (sent < 0) return errno;
  return static_cast<size_t>(sent) == datagram.size() ? 0 : EMSGSIZE;
}

int UdpSocket::TakePendingError() {
  int error = 0;
  socklen_t size = sizeof error;
  if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return errno;
  return error;
}

int UdpSocket::DrainInput() {
  uint8_t buffer[2048];
  for (int i = 0; i < 64; ++i) {
    if (::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT) >= 0) continue;
    const int error = errno;
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR ? 0 : error;
  }
  return 0;
}

}  // namespace corvane::platform::snmp_internal
