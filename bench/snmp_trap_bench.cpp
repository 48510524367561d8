// Event traps composed and sent per second through the agent to a receiver
// on loopback, without the 500 ms pause that follows each trap in service;
// and the encoding alone, to tell the socket's share from ours.

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>

#include "platform/clock/simulated_clock.h"
#include "platform/snmp/snmp_agent.h"
#include "service/trap_composer.h"

namespace {

using namespace corvane;

const EventRecord kEvent{"Application",
                         "10233",
                         "2026-12-11 09:05:07",
                         "1 - Error",
                         "Application Error",
                         "Application Crashing Events",
                         "1000",
                         "S-1-5-18",
                         "HOST01.example.local",
                         "The service terminated unexpectedly because the configured recovery program could "
                         "not be started after the third consecutive failure of the worker process."};

// A receiver on 127.0.0.1 that reads nothing; datagrams beyond its buffer
// are dropped by the kernel without telling the sender. The configured port
// is a signed 16-bit number, so it takes a free one below 32768.
struct Sink {
  Sink() {
    for (int i = 0; i < 2000 && port == 0; ++i) {
      const auto candidate = static_cast<uint16_t>(20000 + (::getpid() * 7 + i * 13) % 12000);
      fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
      sockaddr_in local{};
      local.sin_family = AF_INET;
      local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      local.sin_port = htons(candidate);
      if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0) {
        port = candidate;
      } else {
        ::close(fd);
      }
    }
  }
  ~Sink() {
    if (port != 0) ::close(fd);
  }
  int fd = -1;
  uint16_t port = 0;
};

void BM_ComposeAndSendEventTrap(benchmark::State& state) {
  int argc = 1;
  char name[] = "snmp_trap_bench";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  platform::SimulatedClock clock{platform::TimePoint{}};
  auto agent = platform::CreateSnmpAgent(clock);
  agent->Open();
  Sink sink;
  if (sink.port == 0) {
    state.SkipWithError("no free loopback port");
    return;
  }
  GeneralSettings settings;
  settings.NmsIpAddr = "127.0.0.1";
  settings.NmsPort = static_cast<int16_t>(sink.port);
  settings.SourceIpAddr = "10.20.30.40";
  for (auto _ : state) {
    // SendTrap's steps without its pause.
    service::ComposeAndSend(*agent, settings, service::kEventTrapEnterprise, 259200000,
                            service::EventTrapVariables(kEvent, 3));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ComposeAndSendEventTrap);

void BM_EncodeEventTrap(benchmark::State& state) {
  platform::SnmpTrapMessage message;
  message.SetCommunity(service::kTrapCommunity);
  message.SetMessageType(platform::kSnmpTrapMessageType);
  message.SetEnterprise(service::kEventTrapEnterprise);
  message.SetGenericTrap(6);
  message.SetSpecificTrap(1);
  message.SetTimeStamp(259200000);
  message.SetAgentAddress("10.20.30.40");
  for (const service::TrapVariable& v : service::EventTrapVariables(kEvent, 3)) {
    platform::SnmpVariable object;
    object.SetObjectId(v.oid);
    object.SetTypeCode(v.type_code);
    object.SetValue(v.value);
    message.AppendVariable(object);
  }
  for (auto _ : state) benchmark::DoNotOptimize(message.Encode());
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EncodeEventTrap);

}  // namespace

BENCHMARK_MAIN();
