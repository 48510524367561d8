// The agent over a POSIX UDP socket. The socket is connected to the trap
// receiver, so the ICMP "port unreachable" of a receiver that does not exist
// comes back as ECONNREFUSED pending on the socket; a QSocketNotifier sees
// it on the event loop, and an error found inside a call is handed on
// through a zero-interval timer of the clock, so it too arrives on the loop.

#include <errno.h>

#include <QSocketNotifier>
#include <charconv>
#include <cstring>
#include <deque>
#include <memory>
#include <string>

#include "platform/snmp/ber.h"
#include "platform/snmp/snmp_agent.h"
#include "platform/snmp/udp_socket.h"

namespace corvane::platform {
namespace {

// The Windows Sockets twins of the errno values a datagram socket reports,
// so the service's entries read as they do on Windows.
int WinsockCode(int error) {
  switch (error) {
    case ECONNREFUSED:
      return 10054;  // WSAECONNRESET: the datagram socket's "port unreachable"
    case EMSGSIZE:
      return 10040;
    case EWOULDBLOCK:
      return 10035;
    case ENETUNREACH:
      return 10051;
    case EHOSTUNREACH:
      return 10065;
    case ENETDOWN:
      return 10050;
    case EADDRNOTAVAIL:
      return 10049;
    case EACCES:
      return 10013;
    case ENOBUFS:
      return 10055;
    default:
      return 10000 + error;
  }
}

std::string ErrnoText(int error) {
  if (error == ECONNREFUSED) return "Connection refused by the trap receiver";
  return std::strerror(error);
}

class LinuxSnmpAgent;

class LinuxEndpoint final : public SnmpEndpoint {
 public:
  explicit LinuxEndpoint(LinuxSnmpAgent& agent) : agent_(agent) {}
  void Close() override;
  void SetDestination(std::string_view address_port, int options) override;

 private:
  LinuxSnmpAgent& agent_;
};

class LinuxSnmpAgent final : public SnmpAgent {
 public:
  explicit LinuxSnmpAgent(Clock& clock) : endpoint_(*this), deliver_timer_(clock.CreateTimer()) {
    deliver_timer_->SetInterval(Duration(0));
    deliver_timer_->on_timeout = [this] { Deliver(); };
  }
  ~LinuxSnmpAgent() override { Close(); }

  void Open() override {
    if (socket_.IsOpen()) return;
    if (const int error = socket_.Open(); error != 0) Fail("Cannot open the SNMP agent's socket", error);
    notifier_ = std::make_unique<QSocketNotifier>(socket_.fd(), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { OnSocketReady(); });
  }

  void Close() override {
    notifier_.reset();
    socket_.Close();
    destination_.clear();
    pending_.clear();
    deliver_timer_->Stop();
  }

  SnmpEndpoint& Endpoint() override { return endpoint_; }

  void Send() override {
    RequireOpen();
    if (destination_.empty()) throw SnmpError("No trap destination set");
    const ber::Bytes datagram = message_.Encode();
    Collect(socket_.TakePendingError());
    int error = socket_.Send(datagram);
    if (error == ECONNREFUSED) {
      // The refusal belongs to an earlier trap that raced this call; it is
      // that trap's notification, and this one is sent again.
      Collect(error);
      error = socket_.Send(datagram);
    }
    if (error != 0) Fail("Cannot send the trap to " + destination_, error);
  }

  void EndpointClose() {
    if (!socket_.IsOpen()) return;
    Collect(socket_.TakePendingError());
    if (!destination_.empty()) {
      if (const int error = socket_.Disconnect(); error != 0 && error != EAFNOSUPPORT) {
        Fail("Cannot drop the trap destination", error);
      }
    }
    destination_.clear();
  }

  void SetDestination(std::string_view address_port, int options) {
    RequireOpen();
    if (options != 0) throw SnmpError("Invalid destination option " + std::to_string(options));
    const size_t colon = address_port.rfind(':');
    const auto address = ber::ParseIpv4(address_port.substr(0, colon));
    if (colon == std::string_view::npos || !address) {
      throw SnmpError("Invalid trap destination \"" + std::string(address_port) + "\"");
    }
    const std::string_view port_text = address_port.substr(colon + 1);
    unsigned port = 0;
    const auto [end, status] = std::from_chars(port_text.data(), port_text.data() + port_text.size(), port);
    if (port_text.empty() || status != std::errc() || end != port_text.data() + port_text.size() ||
        port == 0 || port > 65535) {
      throw SnmpError("Invalid trap destination port in \"" + std::string(address_port) + "\"");
    }
    Collect(socket_.TakePendingError());
    if (const int error = socket_.Connect(*address, static_cast<uint16_t>(port)); error != 0) {
      Fail("Cannot set the trap destination " + std::string(address_port), error);
    }
    destination_ = address_port;
  }

 private:
  struct Notification {
    int number;
    std::string description;
  };

  void RequireOpen() const {
    if (!socket_.IsOpen()) throw SnmpError("The SNMP agent is not open");
  }

  [[noreturn]] void Fail(const std::string& what, int error) {
    throw SnmpError(what + ": " + ErrnoText(error) + " (" + std::to_string(WinsockCode(error)) + ")");
  }

  // Queues an asynchronous error for delivery on the event loop.
  void Collect(int error) {
    if (error == 0) return;
    std::string description = ErrnoText(error);
    if (!destination_.empty()) description += " (" + destination_ + ")";
    pending_.push_back({WinsockCode(error), std::move(description)});
    if (!deliver_timer_->IsActive()) deliver_timer_->Start();
  }

  void OnSocketReady() {
    Collect(socket_.TakePendingError());
    Collect(socket_.DrainInput());
    Deliver();
  }

  // A handler may pause and so run this again from inside itself; each
  // notification is taken off the queue before its handler runs.
  void Deliver() {
    deliver_timer_->Stop();
    while (!pending_.empty()) {
      Notification next = std::move(pending_.front());
      pending_.pop_front();
      if (on_error) on_error(next.number, next.description);
    }
  }

  LinuxEndpoint endpoint_;
  snmp_internal::UdpSocket socket_;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::unique_ptr<Timer> deliver_timer_;
  std::string destination_;
  std::deque<Notification> pending_;
};

void LinuxEndpoint::Close() { agent_.EndpointClose(); }

void LinuxEndpoint::SetDestination(std::string_view address_port, int options) {
  agent_.SetDestination(address_port, options);
}

}  // namespace

std::unique_ptr<SnmpAgent> CreateSnmpAgent(Clock& clock) { return std::make_unique<LinuxSnmpAgent>(clock); }

}  // namespace corvane::platform
