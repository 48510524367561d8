#pragma once
// What the component's tests share: a Qt application for the notification
// window, a plain UDP peer on loopback, an event sink that records, and
// small conversions.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "syslog/com/error_info.h"
#include "syslog/isyslog.h"
#include "syslog/os/code_page.h"
#include "syslog/syslog_control.h"

namespace ostrel::testing {

inline void EnsureApplication() {
  static int argc = 1;
  static char name[] = "ostrel_test";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* application =
      QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
  (void)application;
}

inline std::u16string W(std::string_view text) { return *os::BytesToWide(text, 0); }
inline std::string N(std::u16string_view text) { return *os::WideToBytes(text, 0); }

// A plain datagram socket bound to a port the system picks.
class UdpPeer {
 public:
  explicit UdpPeer(bool ipv6 = false, bool reuse = false) : ipv6_(ipv6) {
    fd_ = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_DGRAM, 0);
    if (reuse) {
      const int on = 1;
      ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    }
    Bind(0);
  }
  ~UdpPeer() { ::close(fd_); }
  UdpPeer(const UdpPeer&) = delete;
  UdpPeer& operator=(const UdpPeer&) = delete;

  uint16_t port() const { return port_; }

  // Waits up to `timeout_ms` (real time, kept short) for one datagram.
  std::optional<std::string> Receive(int timeout_ms = 500, uint16_t* from_port = nullptr) {
    pollfd waiting{fd_, POLLIN, 0};
    if (::poll(&waiting, 1, timeout_ms) <= 0) return std::nullopt;
    std::string data(70000, '\0');
    sockaddr_storage from{};
    socklen_t length = sizeof from;
    const ssize_t got =
        ::recvfrom(fd_, data.data(), data.size(), 0, reinterpret_cast<sockaddr*>(&from), &length);
    if (got < 0) return std::nullopt;
    data.resize(static_cast<size_t>(got));
    if (from_port) {
      *from_port =
          ntohs(from.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&from)->sin6_port
                                           : reinterpret_cast<sockaddr_in*>(&from)->sin_port);
    }
    return data;
  }

  void SendTo(uint16_t port, std::string_view data) {
    sockaddr_storage to{};
    socklen_t length;
    if (ipv6_) {
      auto* in6 = reinterpret_cast<sockaddr_in6*>(&to);
      in6->sin6_family = AF_INET6;
      in6->sin6_port = htons(port);
      in6->sin6_addr = in6addr_loopback;
      length = sizeof *in6;
    } else {
      auto* in = reinterpret_cast<sockaddr_in*>(&to);
      in->sin_family = AF_INET;
      in->sin_port = htons(port);
      in->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      length = sizeof *in;
    }
    ASSERT_EQ(::sendto(fd_, data.data(), data.size(), 0, reinterpret_cast<sockaddr*>(&to), length),
              static_cast<ssize_t>(data.size()));
  }

 private:
  void Bind(uint16_t port) {
    sockaddr_storage address{};
    socklen_t length;
    if (ipv6_) {
      auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
      in6->sin6_family = AF_INET6;
      in6->sin6_port = htons(port);
      in6->sin6_addr = in6addr_loopback;
      length = sizeof *in6;
    } else {
      auto* in = reinterpret_cast<sockaddr_in*>(&address);
      in->sin_family = AF_INET;
      in->sin_port = htons(port);
      in->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      length = sizeof *in;
    }
    EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), length), 0) << strerror(errno);
    sockaddr_storage bound{};
    socklen_t bound_length = sizeof bound;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&bound), &bound_length);
    port_ = ntohs(ipv6_ ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                        : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
  }

  bool ipv6_;
  int fd_ = -1;
  uint16_t port_ = 0;
};

// Records every event; an optional hook runs inside the handler.
class RecordingSink final : public SysLogEventsBase {
 public:
  struct ErrorEvent {
    int16_t code;
    std::u16string description;
  };
  std::vector<ErrorEvent> errors;
  std::vector<PacketInArgs> packets;
  std::function<void(const PacketInArgs&)> on_packet;
  std::function<void(const ErrorEvent&)> on_error;

  void Error(int16_t& error_code, std::u16string& description) override {
    errors.push_back({error_code, description});
    if (on_error) on_error(errors.back());
  }
  void PacketIn(PacketInArgs& args) override {
    packets.push_back(args);
    if (on_packet) on_packet(args);
  }
};

// A control created directly, on the given sockets and clock.
inline ComPtr<ISysLog> NewControl(os::SocketApi& api = os::SystemSocketApi(),
                                  corvane::platform::Clock* clock = nullptr) {
  EnsureApplication();
  SysLog* control = SysLog::Create(api, clock);
  ComPtr<ISysLog> result(static_cast<ISysLog*>(control));
  control->Release();
  return result;
}

inline uint32_t Advise(ISysLog* control, RecordingSink& sink) {
  ComPtr<IConnectionPointContainer> container;
  EXPECT_EQ(control->QueryInterface(kIidIConnectionPointContainer, container.ReceiveVoid()), kOk);
  ComPtr<IConnectionPoint> point;
  EXPECT_EQ(container->FindConnectionPoint(kIidISysLogEvents, point.Receive()), kOk);
  uint32_t cookie = 0;
  EXPECT_EQ(point->Advise(&sink, &cookie), kOk);
  return cookie;
}

inline void Unadvise(ISysLog* control, uint32_t cookie) {
  ComPtr<IConnectionPointContainer> container;
  control->QueryInterface(kIidIConnectionPointContainer, container.ReceiveVoid());
  ComPtr<IConnectionPoint> point;
  container->FindConnectionPoint(kIidISysLogEvents, point.Receive());
  EXPECT_EQ(point->Unadvise(cookie), kOk);
}

inline std::string ConfigOf(ISysLog* control, std::string_view argument, Status* status = nullptr) {
  std::u16string result;
  const Status got = control->Config(W(argument), &result);
  if (status) *status = got;
  return N(result);
}

// The description the last failing member left on this thread.
inline std::string LastDescription() {
  ErrorInfo info;
  if (TakeThreadErrorInfo(&info) != kOk) return "<none>";
  return N(info.description);
}

// Runs DoEvents until `done` or about `rounds` × 20 ms have passed.
inline bool PumpUntil(ISysLog* control, const std::function<bool()>& done, int rounds = 25) {
  for (int i = 0; i < rounds && !done(); ++i) control->DoEvents();
  return done();
}

}  // namespace ostrel::testing
