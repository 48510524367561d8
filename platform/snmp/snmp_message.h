#pragma once
// The agent's trap message and its variable objects: the fields of one SNMP
// version 1 Trap-PDU (RFC 1157), set one by one as the callers do, and their
// BER encoding. Every setter checks its input and throws SnmpError for text
// that cannot be carried, so a malformed datagram is never built.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/snmp/ber.h"

namespace corvane::platform {

// The agent's code for the trap message.
inline constexpr int kSnmpTrapMessageType = 36;

enum SnmpTypeCode : int {
  kSnmpTypeInteger = 1,      // a whole number given as decimal text
  kSnmpTypeOctetString = 2,  // text, carried as its bytes
};

// One variable binding, made new for each variable.
class SnmpVariable {
 public:
  void SetObjectId(std::string_view oid);
  void SetTypeCode(int type_code);
  // For type code 1 the value must be decimal (see ber::ParseDecimal32).
  void SetValue(std::string_view value);

  const std::string& ObjectId() const { return object_id_; }
  int TypeCode() const { return type_code_; }
  const std::string& Value() const { return value_; }

 private:
  friend class SnmpTrapMessage;

  std::string object_id_;
  std::vector<uint32_t> arcs_;
  int type_code_ = 0;
  std::string value_;
  std::optional<int32_t> number_;
};

class SnmpTrapMessage {
 public:
  void Clear();
  void SetCommunity(std::string_view community);
  // Only the trap message (36) is known.
  void SetMessageType(int message_type);
  void SetEnterprise(std::string_view oid);
  void SetGenericTrap(int generic_trap);        // 0..6
  void SetSpecificTrap(int64_t specific_trap);  // signed 32 bits
  void SetTimeStamp(int64_t hundredths);        // 0..4294967295
  void SetAgentAddress(std::string_view dotted_ipv4);
  // Refuses a variable whose object identifier, type code or value is
  // missing or does not fit its type code.
  void AppendVariable(const SnmpVariable& variable);

  const std::string& Community() const { return community_; }
  const std::string& Enterprise() const { return enterprise_; }
  int GenericTrap() const { return generic_trap_; }
  int32_t SpecificTrap() const { return specific_trap_; }
  uint32_t TimeStamp() const { return time_stamp_; }
  const std::string& AgentAddress() const { return agent_address_; }
  const std::vector<SnmpVariable>& Variables() const { return variables_; }

  // The whole SNMP message: version 0, community, Trap-PDU. Throws when a
  // field the PDU needs (message type, enterprise, agent address) is unset.
  ber::Bytes Encode() const;

 private:
  std::string community_;
  int message_type_ = 0;
  std::string enterprise_;
  std::vector<uint32_t> enterprise_arcs_;
  int generic_trap_ = 0;
  int32_t specific_trap_ = 0;
  uint32_t time_stamp_ = 0;
  std::string agent_address_;
  std::optional<std::array<uint8_t, 4>> agent_octets_;
  std::vector<SnmpVariable> variables_;
};

}  // namespace corvane::platform
