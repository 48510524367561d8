#pragma once
// The SNMP agent the programs send their traps through: an endpoint that
// holds the trap receiver's address, a trap message with its variables, and
// send. Calls are made in this order for every trap: endpoint Close,
// SetDestination, message Clear and its fields, one new SnmpVariable per
// variable appended to the message, then Send. Failing calls throw
// SnmpError; failures the network reports later (a trap receiver that does
// not exist) arrive as on_error on the event loop, never from inside a call.

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/clock/clock.h"
#include "platform/snmp/snmp_error.h"
#include "platform/snmp/snmp_message.h"

namespace corvane::platform {

class SnmpEndpoint {
 public:
  virtual ~SnmpEndpoint() = default;

  // Drops the earlier destination.
  virtual void Close() = 0;
  // "a.b.c.d:port" with a dotted IPv4 address and a port 1..65535; `options`
  // is reserved and must be 0.
  virtual void SetDestination(std::string_view address_port, int options) = 0;
};

class SnmpAgent {
 public:
  virtual ~SnmpAgent() = default;

  // Makes the agent ready to send; opening an open agent does nothing.
  virtual void Open() = 0;
  // Releases the socket; notifications not yet delivered are dropped.
  virtual void Close() = 0;
  virtual SnmpEndpoint& Endpoint() = 0;
  SnmpTrapMessage& Message() { return message_; }
  // Sends Message() as one UDP datagram to the destination.
  virtual void Send() = 0;

  // An error number (the Windows Sockets code) and a description.
  std::function<void(int number, const std::string& description)> on_error;

 protected:
  SnmpTrapMessage message_;
};

// The agent over a UDP socket; its notifications are delivered while `clock`
// processes events (Qt's loop for the real clock; a simulated clock's event
// processor must run Qt's events as well).
std::unique_ptr<SnmpAgent> CreateSnmpAgent(Clock& clock);

}  // namespace corvane::platform
