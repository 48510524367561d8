// SendPacket datagrams per second on loopback, beside a plain sendto loop of
// the same bytes in the same run: the ratio of the two is the figure.

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <string>

#include "syslog/syslog_control.h"

namespace {

constexpr char16_t kMessage[] =
    u"Service Control Manager: The Print Spooler service entered the running state.";

// A loopback port nobody reads: datagrams beyond its buffer are dropped by
// the system, so neither loop ever waits on the receiver.
class Sink {
 public:
  Sink() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
  }
  ~Sink() { ::close(fd_); }
  uint16_t port() const { return port_; }

 private:
  int fd_;
  uint16_t port_ = 0;
};

QCoreApplication& Application() {
  static int argc = 1;
  static char name[] = "syslog_send_bench";
  static char* argv[] = {name, nullptr};
  static QCoreApplication application(argc, argv);
  return application;
}

void BM_SendPacket(benchmark::State& state) {
  Application();
  Sink sink;
  ostrel::SysLog* control = ostrel::SysLog::Create();
  control->put_LocalHost(u"127.0.0.1");
  control->put_LocalPort(0);
  control->put_RemoteHost(u"127.0.0.1");
  control->put_RemotePort(sink.port());
  std::u16string ignored;
  control->Config(u"UseLocalTime=True", &ignored);
  if (control->put_Active(ostrel::kVariantTrue) != ostrel::kOk) {
    state.SkipWithError("activation failed");
    control->Release();
    return;
  }
  const std::u16string message = kMessage;
  for (auto _ : state) {
    if (control->SendPacket(23, 6, message) != ostrel::kOk) {
      state.SkipWithError("send failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
  control->put_Active(ostrel::kVariantFalse);
  control->Release();
}
BENCHMARK(BM_SendPacket);

void BM_PlainSendTo(benchmark::State& state) {
  Sink sink;
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(sink.port());
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  // The bytes SendPacket writes for the same message, built once.
  char host[100] = {};
  ::gethostname(host, sizeof host - 1);
  const std::string packet = std::string("<190>Dec  9 08:05:07 ") + host +
                             " Service Control Manager: The Print Spooler service entered the "
                             "running state.";
  for (auto _ : state) {
    if (::sendto(fd, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) <
        0) {
      state.SkipWithError("sendto failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
  ::close(fd);
}
BENCHMARK(BM_PlainSendTo);

}  // namespace

BENCHMARK_MAIN();
