#pragma once
// What the tests with real trap sockets share: UDP ports on 127.0.0.1 that
// the test picks, and a receiver that waits a short, bounded real time for a
// datagram.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

namespace corvane::testing {

// A UDP socket bound to 127.0.0.1:port (0: one the system picks).
inline int BindLoopbackUdp(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  local.sin_port = htons(port);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

inline uint16_t PortOf(int fd) {
  sockaddr_in local{};
  socklen_t size = sizeof local;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size);
  return ntohs(local.sin_port);
}

// The configured trap port is a signed 16-bit number, so the system's
// ephemeral ports (above 32767) cannot be configured: this picks a free port
// below 32768, starting at a place that differs between processes.
inline uint16_t FreeConfigurablePort() {
  for (int i = 0; i < 2000; ++i) {
    const auto port = static_cast<uint16_t>(20000 + (::getpid() * 7 + i * 13) % 12000);
    const int fd = BindLoopbackUdp(port);
    if (fd >= 0) {
      ::close(fd);
      return port;
    }
  }
  return 0;
}

class Receiver {
 public:
  explicit Receiver(uint16_t port = 0) : fd_(BindLoopbackUdp(port)) {
    timeval wait{0, 200000};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  }
  ~Receiver() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool ok() const { return fd_ >= 0; }
  uint16_t port() const { return PortOf(fd_); }
  // One datagram, or nothing after 200 ms.
  std::vector<uint8_t> Receive() {
    std::vector<uint8_t> buffer(65536);
    const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), 0);
    buffer.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return buffer;
  }

 private:
  int fd_;
};

}  // namespace corvane::testing
