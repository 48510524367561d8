#include "common/events/text_encoding.h"

#include <gtest/gtest.h>

namespace corvane::events {
namespace {

TEST(TextEncodingTest, ValidTextRoundTripsThroughUtf16) {
  const std::string text = "plain \xC3\xA5\xC3\xA4\xC3\xB6 \xE2\x82\xAC \xF0\x9F\x98\x80 \t\r\n";
  const std::u16string wide = Utf8ToUtf16(text);
  EXPECT_EQ(wide.size(), 18u);  // the emoji takes two units
  EXPECT_EQ(Utf16ToUtf8(wide), text);
  EXPECT_EQ(DecodeTextFile(EncodeUtf16LeWithBom(wide)), wide);
  EXPECT_EQ(EncodeUtf16LeWithBom(u"A\u00e5"), std::string("\xFF\xFE"
                                                          "A\0\xE5\0",
                                                          6));
}

TEST(TextEncodingTest, BadInputIsReplacedNeverFatal) {
  struct Case {
    std::string bytes;
    std::u16string decoded;
  } cases[] = {
      {"a\xFF"
       "b",
       u"a\uFFFDb"},                            // not UTF-8
      {"\xC3", u"\uFFFD"},                      // cut short
      {"\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},  // overlong
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // an encoded surrogate
      {std::string("\xFF\xFE"
                   "A\0\x00\xD8"
                   "B\0",
                   8),
       u"A\uFFFDB"},  // lone high surrogate
      {std::string("\xFF\xFE"
                   "A\0"
                   "B",
                   5),
       u"A\uFFFD"},                           // odd length
      {std::string("\xFE\xFF\0A", 4), u"A"},  // big-endian mark
      {"\xEF\xBB\xBFok", u"ok"},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeTextFile(c.bytes), c.decoded) << c.bytes;
  EXPECT_EQ(Utf16ToUtf8(u"\xDC00x"), "\xEF\xBF\xBDx");
}

}  // namespace
}  // namespace corvane::events
