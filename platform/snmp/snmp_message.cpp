#include "platform/snmp/snmp_message.h"

#include <string>

#include "platform/snmp/snmp_error.h"

namespace corvane::platform {
namespace {

std::vector<uint32_t> ParseOidOrThrow(std::string_view oid) {
  auto arcs = ber::ParseObjectIdentifier(oid);
  if (!arcs) throw SnmpError("Invalid object identifier \"" + std::string(oid) + "\"");
  return std::move(*arcs);
}

}  // namespace

void SnmpVariable::SetObjectId(std::string_view oid) {
  arcs_ = ParseOidOrThrow(oid);
  object_id_ = oid;
}

void SnmpVariable::SetTypeCode(int type_code) {
  if (type_code != kSnmpTypeInteger && type_code != kSnmpTypeOctetString) {
    throw SnmpError("Invalid variable type code " + std::to_string(type_code));
  }
  type_code_ = type_code;
}

void SnmpVariable::SetValue(std::string_view value) {
  // The number is checked against the type code in force; AppendVariable
  // checks again, whatever the order of the setters was.
  number_ = ber::ParseDecimal32(value);
  if (type_code_ == kSnmpTypeInteger && !number_) {
    throw SnmpError("Invalid INTEGER value \"" + std::string(value) + "\" for " + object_id_);
  }
  value_ = value;
}

void SnmpTrapMessage::Clear() { *this = SnmpTrapMessage(); }

void SnmpTrapMessage::SetCommunity(std::string_view community) { community_ = community; }

void SnmpTrapMessage::SetMessageType(int message_type) {
  if (message_type != kSnmpTrapMessageType) {
    throw SnmpError("Unsupported message type " + std::to_string(message_type));
  }
  message_type_ = message_type;
}

void SnmpTrapMessage::SetEnterprise(std::string_view oid) {
  enterprise_arcs_ = ParseOidOrThrow(oid);
  enterprise_ = oid;
}

void SnmpTrapMessage::SetGenericTrap(int generic_trap) {
  if (generic_trap < 0 || generic_trap > 6) {
    throw SnmpError("Invalid generic-trap " + std::to_string(generic_trap));
  }
  generic_trap_ = generic_trap;
}

void SnmpTrapMessage::SetSpecificTrap(int64_t specific_trap) {
  if (specific_trap < INT32_MIN || specific_trap > INT32_MAX) {
    throw SnmpError("Invalid specific-trap " + std::to_string(specific_trap));
  }
  specific_trap_ = static_cast<int32_t>(specific_trap);
}

void SnmpTrapMessage::SetTimeStamp(int64_t hundredths) {
  if (hundredths < 0 || hundredths > UINT32_MAX) {
    throw SnmpError("Invalid time-stamp " + std::to_string(hundredths));
  }
  time_stamp_ = static_cast<uint32_t>(hundredths);
}

void SnmpTrapMessage::SetAgentAddress(std::string_view dotted_ipv4) {
  const auto octets = ber::ParseIpv4(dotted_ipv4);
  if (!octets) throw SnmpError("Invalid agent address \"" + std::string(dotted_ipv4) + "\"");
  agent_octets_ = octets;
  agent_address_ = dotted_ipv4;
}

void SnmpTrapMessage::AppendVariable(const SnmpVariable& variable) {
  if (variable.arcs_.empty()) throw SnmpError("Variable without object identifier");
  if (variable.type_code_ == 0) throw SnmpError("Variable " + variable.object_id_ + " without type code");
  if (variable.type_code_ == kSnmpTypeInteger && !variable.number_) {
    throw SnmpError("Invalid INTEGER value \"" + variable.value_ + "\" for " + variable.object_id_);
  }
  variables_.push_back(variable);
}

ber::Bytes SnmpTrapMessage::Encode() const {
  if (message_type_ != kSnmpTrapMessageType) throw SnmpError("Trap message type not set");
  if (enterprise_arcs_.empty()) throw SnmpError("Trap enterprise not set");
  if (!agent_octets_) throw SnmpError("Trap agent address not set");

  ber::Bytes bindings;
  for (const SnmpVariable& variable : variables_) {
    ber::Bytes binding;
    ber::AppendObjectIdentifier(binding, variable.arcs_);
    if (variable.type_code_ == kSnmpTypeInteger) {
      ber::AppendInteger(binding, *variable.number_);
    } else {
      ber::AppendOctetString(binding, variable.value_);
    }
    ber::AppendTlv(bindings, ber::kSequence, binding);
  }

  ber::Bytes pdu;
  ber::AppendObjectIdentifier(pdu, enterprise_arcs_);
  ber::AppendOctetString(
      pdu, std::string_view(reinterpret_cast<const char*>(agent_octets_->data()), agent_octets_->size()),
      ber::kIpAddress);
  ber::AppendInteger(pdu, generic_trap_);
  ber::AppendInteger(pdu, specific_trap_);
  ber::AppendInteger(pdu, time_stamp_, ber::kTimeTicks);
  ber::AppendTlv(pdu, ber::kSequence, bindings);

  ber::Bytes message;
  ber::AppendInteger(message, 0);  // version-1
  ber::AppendOctetString(message, community_);
  ber::AppendTlv(message, ber::kTrapPdu, pdu);

  ber::Bytes datagram;
  ber::AppendTlv(datagram, ber::kSequence, message);
  return datagram;
}

}  // namespace corvane::platform
