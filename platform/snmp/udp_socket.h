#pragma once
// The socket calls the agent makes, wrapped once: each returns 0 or the
// errno of the failure, so the agent never touches errno itself.

#include <array>
#include <cstdint>
#include <span>

namespace corvane::platform::snmp_internal {

class UdpSocket {
 public:
  UdpSocket() = default;
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;
  ~UdpSocket() { Close(); }

  // A non-blocking IPv4 datagram socket, not inherited by child processes.
  int Open();
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }

  int Connect(const std::array<uint8_t, 4>& address, uint16_t port);
  int Disconnect();
  int Send(std::span<const uint8_t> datagram);
  // The pending asynchronous error, cleared by reading it; 0 when none.
  int TakePendingError();
  // Reads and drops whatever datagrams wait (the agent expects none);
  // returns an asynchronous error met on the way, 0 when none.
  int DrainInput();

 private:
  int fd_ = -1;
};

}  // namespace corvane::platform::snmp_internal
