#include "syslog/os/code_page.h"

#include <gtest/gtest.h>

namespace ostrel::os {
namespace {

TEST(CodePage, ConvertsBothWaysByNumber) {
  struct Case {
    int code_page;
    std::u16string wide;
    std::string bytes;
  };
  const Case cases[] = {
      {0, u"caf\u00e9 \u20ac", "caf\xc3\xa9 \xe2\x82\xac"},
      {65001, u"\U0001F600", "\xf0\x9f\x98\x80"},
      {1252, u"caf\u00e9 \u20ac", "caf\xe9 \x80"},
      {932, u"\u65e5\u672c", "\x93\xfa\x96\x7b"},
      {28591, u"\u00fc", "\xfc"},
      {437, u"\u00e9", "\x82"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code_page);
    EXPECT_EQ(WideToBytes(c.wide, c.code_page), c.bytes);
    EXPECT_EQ(BytesToWide(c.bytes, c.code_page), c.wide);
  }
}

TEST(CodePage, ReplacesWhatCannotBeConverted) {
  EXPECT_EQ(WideToBytes(u"a\u65e5b", 1252), "a?b");
  EXPECT_EQ(WideToBytes(u"a\U0001F600b", 1252), "a?b");
  EXPECT_EQ(WideToBytes(std::u16string(u"a\xD800") + u"b", 0),
            "a\xef\xbf\xbd"
            "b");
  EXPECT_EQ(BytesToWide("a\xff"
                        "b",
                        0),
            u"a\uFFFDb");
  EXPECT_EQ(BytesToWide("\xe2\x82", 0), u"\uFFFD");
  EXPECT_EQ(BytesToWide("\xc0\xaf", 0), u"\uFFFD");  // overlong form
  EXPECT_EQ(BytesToWide("a\x81", 932), u"a\uFFFD");  // a lead byte cut off
  EXPECT_EQ(BytesToWide(std::string("z\0z", 3), 0), std::u16string(u"z\0z", 3));
}

TEST(CodePage, KnowsWhichCodePagesItHas) {
  EXPECT_TRUE(IsSupportedCodePage(0));
  EXPECT_TRUE(IsSupportedCodePage(1252));
  EXPECT_TRUE(IsSupportedCodePage(932));
  EXPECT_FALSE(IsSupportedCodePage(12345));
  EXPECT_FALSE(IsSupportedCodePage(-1));
  EXPECT_FALSE(WideToBytes(u"x", 12345).has_value());
}

}  // namespace
}  // namespace ostrel::os
