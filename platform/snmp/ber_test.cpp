#include "platform/snmp/ber.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane::platform::ber {
namespace {

std::string Hex(const Bytes& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string text;
  for (uint8_t b : bytes) {
    if (!text.empty()) text += ' ';
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  return text;
}

TEST(BerTest, LengthsTakeTheirShortestForm) {
  const struct {
    size_t length;
    const char* encoded;
  } cases[] = {
      {0, "00"},         {127, "7F"},         {128, "81 80"},         {255, "81 FF"},
      {256, "82 01 00"}, {65535, "82 FF FF"}, {65536, "83 01 00 00"},
  };
  for (const auto& c : cases) {
    Bytes out;
    AppendLength(out, c.length);
    EXPECT_EQ(Hex(out), c.encoded) << c.length;
  }
}

TEST(BerTest, IntegersTakeTheFewestTwosComplementOctets) {
  const struct {
    int64_t value;
    uint8_t tag;
    const char* encoded;
  } cases[] = {
      {0, kInteger, "02 01 00"},
      {127, kInteger, "02 01 7F"},
      {128, kInteger, "02 02 00 80"},
      {256, kInteger, "02 02 01 00"},
      {-1, kInteger, "02 01 FF"},
      {-128, kInteger, "02 01 80"},
      {-129, kInteger, "02 02 FF 7F"},
      {2147483647, kInteger, "02 04 7F FF FF FF"},
      {-2147483648LL, kInteger, "02 04 80 00 00 00"},
      // TimeTicks are unsigned: the top bit set needs a leading zero octet.
      {259200000, kTimeTicks, "43 04 0F 73 14 00"},
      {4294967295LL, kTimeTicks, "43 05 00 FF FF FF FF"},
  };
  for (const auto& c : cases) {
    Bytes out;
    AppendInteger(out, c.value, c.tag);
    EXPECT_EQ(Hex(out), c.encoded) << c.value;
  }
}

TEST(BerTest, ObjectIdentifiersUseBase128SubIdentifiers) {
  const struct {
    const char* text;
    const char* encoded;
  } cases[] = {
      {"1.3.6.1.4.1.7365", "06 07 2B 06 01 04 01 B9 45"},
      {"1.3.4294967295", "06 06 2B 8F FF FF FF 7F"},
      {"2.999.3", "06 03 88 37 03"},
      {"0.0", "06 01 00"},
  };
  for (const auto& c : cases) {
    const auto arcs = ParseObjectIdentifier(c.text);
    ASSERT_TRUE(arcs) << c.text;
    Bytes out;
    AppendObjectIdentifier(out, *arcs);
    EXPECT_EQ(Hex(out), c.encoded) << c.text;
  }
}

TEST(BerTest, OctetStringsShortEmptyAndLong) {
  Bytes out;
  AppendOctetString(out, "");
  EXPECT_EQ(Hex(out), "04 00");
  out.clear();
  AppendOctetString(out, "\xC3\xA9t\xC3\xA9");  // "été" in UTF-8: bytes, not characters
  EXPECT_EQ(Hex(out), "04 05 C3 A9 74 C3 A9");
  out.clear();
  AppendOctetString(out, std::string(300, 'x'));
  ASSERT_EQ(out.size(), 304u);
  EXPECT_EQ(Hex(Bytes(out.begin(), out.begin() + 5)), "04 82 01 2C 78");
}

TEST(BerTest, ParsersRefuseWhatTheyCannotCarry) {
  for (const char* bad :
       {"", "1", "1.", ".1.3", "1..3", "3.1", "1.40", "1.3.a", "1.3.4294967296", "1.03", "1.3 ", "1,3,6"}) {
    EXPECT_FALSE(ParseObjectIdentifier(bad)) << '"' << bad << '"';
  }
  EXPECT_EQ(ParseObjectIdentifier("2.100"), (std::vector<uint32_t>{2, 100}));

  for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", " 1.2.3.4", "1.2.3.4 ", "01.2.3.4",
                          "1.2.3.-4", "host.example", "::1"}) {
    EXPECT_FALSE(ParseIpv4(bad)) << '"' << bad << '"';
  }
  EXPECT_EQ(ParseIpv4("192.168.0.255"), (std::array<uint8_t, 4>{192, 168, 0, 255}));

  for (const char* bad :
       {"", "-", "12abc", " 12", "12 ", "+5", "2147483648", "-2147483649", "1e3", "99999999999"}) {
    EXPECT_FALSE(ParseDecimal32(bad)) << '"' << bad << '"';
  }
  EXPECT_EQ(ParseDecimal32("-2147483648"), INT32_MIN);
  EXPECT_EQ(ParseDecimal32("2147483647"), INT32_MAX);
  EXPECT_EQ(ParseDecimal32("0"), 0);
}

}  // namespace
}  // namespace corvane::platform::ber
