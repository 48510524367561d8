#include "tools/powershell/list_writer.h"

#include <gtest/gtest.h>

#include "common/events/text_encoding.h"

namespace corvane::powershell {
namespace {

using events::Utf16ToUtf8;
using events::Utf8ToUtf16;

ListObject Event(std::initializer_list<std::pair<const char*, std::string>> properties) {
  ListObject object;
  for (const auto& [label, value] : properties) {
    object.emplace_back(Utf8ToUtf16(label), Utf8ToUtf16(value));
  }
  return object;
}

// The two records of the list format's reference example, byte for byte.
TEST(ListWriterTest, WritesTheReferenceExampleExactly) {
  const std::vector<ListObject> objects = {
      Event({{"LogName", "Application"},
             {"RecordId", "10233"},
             {"TimeCreated", "2024-03-14 09:05:07"},
             {"LevelDisplayName", "Error"},
             {"ProviderName", "Application Error"},
             {"TaskDisplayName", "Application Crashing Events"},
             {"Id", "1000"},
             {"UserId", ""},
             {"MachineName", "HOST01.example.local"},
             {"Message",
              "The service terminated unexpectedly because the configured recovery program could "
              "not be started after the third consecutive failure of the worker process on this "
              "computer."}}),
      Event({{"LogName", "Application"},
             {"RecordId", "10234"},
             {"TimeCreated", "2024-03-14 09:06:41"},
             {"LevelDisplayName", "Information"},
             {"ProviderName", "Demo-Provider"},
             {"TaskDisplayName", ""},
             {"Id", "42"},
             {"UserId", "S-1-5-18"},
             {"MachineName", "HOST01.example.local"},
             {"Message", "Backup finished.\r\n\r\nDetails:\r\n\tFiles:\t1200\r\n"}}),
  };
  const std::string pad(19, ' ');
  const std::string expected =
      "\r\n\r\n"
      "LogName          : Application\r\n"
      "RecordId         : 10233\r\n"
      "TimeCreated      : 2024-03-14 09:05:07\r\n"
      "LevelDisplayName : Error\r\n"
      "ProviderName     : Application Error\r\n"
      "TaskDisplayName  : Application Crashing Events\r\n"
      "Id               : 1000\r\n"
      "UserId           : \r\n"
      "MachineName      : HOST01.example.local\r\n"
      "Message          : The service terminated unexpectedly because the configured recovery "
      "program could not be started \r\n" +
      pad +
      "after the third consecutive failure of the worker process on this computer.\r\n"
      "\r\n"
      "LogName          : Application\r\n"
      "RecordId         : 10234\r\n"
      "TimeCreated      : 2024-03-14 09:06:41\r\n"
      "LevelDisplayName : Information\r\n"
      "ProviderName     : Demo-Provider\r\n"
      "TaskDisplayName  : \r\n"
      "Id               : 42\r\n"
      "UserId           : S-1-5-18\r\n"
      "MachineName      : HOST01.example.local\r\n"
      "Message          : Backup finished.\r\n" +
      pad + "\r\n" + pad + "Details:\r\n" + pad + "\tFiles:\t1200\r\n" + pad + "\r\n" + "\r\n\r\n\r\n";
  EXPECT_EQ(Utf16ToUtf8(FormatList(objects)), expected);
  EXPECT_TRUE(FormatList({}).empty());
}

TEST(ListWriterTest, WrapsByWordsAndSplitsLongWords) {
  struct Case {
    std::u16string value;
    std::vector<std::u16string> lines;
  } cases[] = {
      {u"", {u""}},
      {u"exactly10!", {u"exactly10!"}},
      {u"aaaa bbbbb", {u"aaaa bbbbb"}},
      {u"aaaa bbbbbb", {u"aaaa ", u"bbbbbb"}},
      {u"aaaaa bbbb ", {u"aaaaa ", u"bbbb "}},  // the trailing space counts
      {u"a\tb\tc", {u"a\tb\tc"}},
      {u"abcdefghijklmnopqrstuvwxy", {u"abcdefghij", u"klmnopqrst", u"uvwxy"}},
      {u"ab cdefghijklmnop", {u"ab cdefghi", u"jklmnop"}},
      {u"one two three four", {u"one two ", u"three four"}},
      {u"one two three fours", {u"one two ", u"three ", u"fours"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WrapValueLine(c.value, 10), c.lines) << Utf16ToUtf8(c.value);
  }
}

TEST(ListWriterTest, NarrowWidthWrapsContinuationLinesAtTheValueColumn) {
  const auto text =
      Utf16ToUtf8(FormatList({Event({{"LogName", "A-very-long-channel-name"}, {"RecordCount", ""}})}, 25));
  EXPECT_EQ(text,
            "\r\n\r\n"
            "LogName     : A-very-long\r\n"
            "              -channel-na\r\n"
            "              me\r\n"
            "RecordCount : \r\n"
            "\r\n\r\n\r\n");
}

}  // namespace
}  // namespace corvane::powershell
