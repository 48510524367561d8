#include "platform/snmp/snmp_message.h"

#include <gtest/gtest.h>

#include "platform/snmp/snmp_error.h"

namespace corvane::platform {
namespace {

std::string Hex(const ber::Bytes& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string text;
  for (uint8_t b : bytes) {
    if (!text.empty()) text += ' ';
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  return text;
}

SnmpVariable Variable(std::string_view oid, int type, std::string_view value) {
  SnmpVariable variable;
  variable.SetObjectId(oid);
  variable.SetTypeCode(type);
  variable.SetValue(value);
  return variable;
}

void FillFields(SnmpTrapMessage& message) {
  message.SetCommunity("public");
  message.SetMessageType(kSnmpTrapMessageType);
  message.SetEnterprise("1.3.6.1.4.1.7365.2.1.2");
  message.SetGenericTrap(6);
  message.SetSpecificTrap(1);
  message.SetTimeStamp(100);
  message.SetAgentAddress("10.0.0.1");
}

TEST(SnmpMessageTest, EncodesAWholeTrapMessage) {
  SnmpTrapMessage message;
  FillFields(message);
  message.AppendVariable(Variable("1.3.6.1.4.1.7365.2.1.1.6", kSnmpTypeInteger, "3"));
  // Worked out by hand from RFC 1157 and X.690: message SEQUENCE, version 0,
  // community, [4] Trap-PDU with enterprise, IpAddress, generic, specific,
  // TimeTicks and one binding.
  EXPECT_EQ(Hex(message.Encode()),
            "30 3C 02 01 00 04 06 70 75 62 6C 69 63 A4 2F "
            "06 0A 2B 06 01 04 01 B9 45 02 01 02 40 04 0A 00 00 01 02 01 06 02 01 01 43 01 64 "
            "30 12 30 10 06 0B 2B 06 01 04 01 B9 45 02 01 01 06 02 01 03");
}

TEST(SnmpMessageTest, LongMessageUsesLongLengthsAndTextGoesAsOctetString) {
  SnmpTrapMessage message;
  FillFields(message);
  message.AppendVariable(Variable("1.3.6.1.4.1.7365.2.1.1.5", kSnmpTypeOctetString, std::string(200, 'a')));
  message.AppendVariable(Variable("1.3.6.1.4.1.7365.2.1.1.1", kSnmpTypeOctetString, ""));
  message.AppendVariable(Variable("1.3.6.1.4.1.7365.2.1.1.6", kSnmpTypeInteger, "-5"));
  const ber::Bytes bytes = message.Encode();
  // Content: version 3 + community 8 + PDU (4 + 12 + 6 + 3 + 3 + 3 + bindings (3 + 219 + 17 + 18))
  // = 299 octets, so the outer length takes the two-octet long form.
  EXPECT_EQ(Hex(ber::Bytes(bytes.begin(), bytes.begin() + 4)), "30 82 01 2B");
  EXPECT_EQ(bytes.size(), 4u + 299u);
  const std::string tail = Hex(ber::Bytes(bytes.end() - 35, bytes.end()));
  EXPECT_EQ(tail,
            "30 0F 06 0B 2B 06 01 04 01 B9 45 02 01 01 01 04 00 "
            "30 10 06 0B 2B 06 01 04 01 B9 45 02 01 01 06 02 01 FB");
}

TEST(SnmpMessageTest, BadInputIsRefusedAndNeverEncoded) {
  SnmpTrapMessage message;
  EXPECT_THROW(message.SetAgentAddress("1.2.3"), SnmpError);
  EXPECT_THROW(message.SetAgentAddress(""), SnmpError);
  EXPECT_THROW(message.SetEnterprise("1.3.6.x"), SnmpError);
  EXPECT_THROW(message.SetMessageType(164), SnmpError);
  EXPECT_THROW(message.SetGenericTrap(7), SnmpError);
  EXPECT_THROW(message.SetTimeStamp(-1), SnmpError);
  EXPECT_THROW(message.SetTimeStamp(4294967296LL), SnmpError);
  EXPECT_THROW(message.Encode(), SnmpError);  // no field set yet

  SnmpVariable variable;
  EXPECT_THROW(variable.SetObjectId("1.3..6"), SnmpError);
  EXPECT_THROW(variable.SetTypeCode(3), SnmpError);
  variable.SetObjectId("1.3.6.1.4.1.7365.1.17.1.1.1");
  variable.SetTypeCode(kSnmpTypeInteger);
  for (const char* bad : {"", "12abc", " 12", "0x10", "4294967296"}) {
    EXPECT_THROW(variable.SetValue(bad), SnmpError) << '"' << bad << '"';
  }
  // A value set before its type code is checked when the variable is appended.
  SnmpVariable reordered;
  reordered.SetObjectId("1.3.6.1.4.1.7365.1.17.1.1.1");
  reordered.SetValue("abc");
  reordered.SetTypeCode(kSnmpTypeInteger);
  EXPECT_THROW(message.AppendVariable(reordered), SnmpError);
  EXPECT_THROW(message.AppendVariable(SnmpVariable()), SnmpError);
  EXPECT_TRUE(message.Variables().empty());
}

TEST(SnmpMessageTest, ClearLeavesNoEarlierFieldOrVariable) {
  SnmpTrapMessage message;
  FillFields(message);
  message.AppendVariable(Variable("1.3.6.1.4.1.7365.2.1.1.6", kSnmpTypeInteger, "3"));
  message.Clear();
  EXPECT_TRUE(message.Variables().empty());
  EXPECT_TRUE(message.Community().empty());
  EXPECT_THROW(message.Encode(), SnmpError);
}

}  // namespace
}  // namespace corvane::platform
