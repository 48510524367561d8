#pragma once
// An SNMP agent for tests of the service's procedures: it keeps every call
// and every message sent, can fail its next sends on purpose, and raises
// error notifications when the test says so.

#include <string>
#include <vector>

#include "platform/snmp/snmp_agent.h"

namespace corvane::service {

class FakeSnmpAgent : public platform::SnmpAgent {
 public:
  struct Sent {
    std::string destination;
    platform::SnmpTrapMessage message;
  };

  void Open() override { calls.push_back("open"); }
  void Close() override { calls.push_back("close"); }
  platform::SnmpEndpoint& Endpoint() override { return endpoint_; }
  void Send() override {
    calls.push_back("send");
    if (!fail_send.empty()) throw platform::SnmpError(fail_send);
    sent.push_back({endpoint_.destination, message_});
  }
  void Raise(int number, const std::string& description) {
    if (on_error) on_error(number, description);
  }

  std::vector<std::string> calls;
  std::vector<Sent> sent;
  std::string fail_send;  // when set, Send throws it

 private:
  class Endpoint_ : public platform::SnmpEndpoint {
   public:
    explicit Endpoint_(FakeSnmpAgent& agent) : agent_(agent) {}
    void Close() override {
      agent_.calls.push_back("endpoint close");
      destination.clear();
    }
    void SetDestination(std::string_view address_port, int options) override {
      agent_.calls.push_back("endpoint destination " + std::string(address_port) + " " +
                             std::to_string(options));
      destination = address_port;
    }
    std::string destination;

   private:
    FakeSnmpAgent& agent_;
  };
  Endpoint_ endpoint_{*this};
};

}  // namespace corvane::service
