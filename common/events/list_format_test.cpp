#include "common/events/list_format.h"

#include <gtest/gtest.h>

#include "common/events/event_file.h"
#include "common/events/text_encoding.h"

namespace corvane::events {
namespace {

// Lines as PowerShell writes them: CR LF after each, UTF-16LE with its mark.
std::string Output(std::initializer_list<std::string_view> lines) {
  std::string text;
  for (const auto line : lines) {
    text += line;
    text += "\r\n";
  }
  return EncodeUtf16LeWithBom(Utf8ToUtf16(text));
}

// The block lines of one record, labels padded to LevelDisplayName.
std::vector<std::string> Block(std::string_view record_id, std::string_view level, std::string_view task,
                               std::string_view message) {
  return {"LogName          : Application",
          "RecordId         : " + std::string(record_id),
          "TimeCreated      : 2024-03-14 09:05:07",
          "LevelDisplayName : " + std::string(level),
          "ProviderName     : Demo-Provider",
          "TaskDisplayName  : " + std::string(task),
          "Id               : 1000",
          "UserId           : S-1-5-18",
          "MachineName      : HOST01.example.local",
          "Message          : " + std::string(message)};
}

EventRecord Record(std::string record_id, std::string level, std::string category, std::string message) {
  return {.LogName = "Application",
          .RecordId = std::move(record_id),
          .TimeCreated = "2024-03-14 09:05:07",
          .Level = std::move(level),
          .Source = "Demo-Provider",
          .Category = std::move(category),
          .EventID = "1000",
          .UserName = "S-1-5-18",
          .MachineName = "HOST01.example.local",
          .Message = std::move(message)};
}

std::string Join(const std::vector<std::vector<std::string>>& blocks,
                 std::vector<std::string> extra_after_first = {}) {
  std::string text = "\r\n\r\n";
  for (size_t b = 0; b < blocks.size(); ++b) {
    for (const auto& line : blocks[b]) text += line + "\r\n";
    if (b == 0) {
      for (const auto& line : extra_after_first) text += line + "\r\n";
    }
    text += "\r\n";
  }
  text += "\r\n\r\n";
  return EncodeUtf16LeWithBom(Utf8ToUtf16(text));
}

struct ParseCase {
  const char* name;
  std::string file;
  std::vector<EventRecord> expected;
  bool stops_with_error = false;
};

std::vector<ParseCase> Cases() {
  std::vector<ParseCase> cases;
  const std::string pad(19, ' ');

  // The example of the list format: a wrapped message, an empty task, a
  // message with an empty line, a tab and a final line break.
  cases.push_back(
      {"WrappedAndMultiLineMessages",
       Output({"",
               "",
               "LogName          : Application",
               "RecordId         : 10233",
               "TimeCreated      : 2024-03-14 09:05:07",
               "LevelDisplayName : Error",
               "ProviderName     : Application Error",
               "TaskDisplayName  : Application Crashing Events",
               "Id               : 1000",
               "UserId           : ",
               "MachineName      : HOST01.example.local",
               "Message          : The service terminated unexpectedly because the configured "
               "recovery program could not be started ",
               "                   after the third consecutive failure of the worker process on "
               "this computer.",
               "",
               "LogName          : Application",
               "RecordId         : 10234",
               "TimeCreated      : 2024-03-14 09:06:41",
               "LevelDisplayName : Information",
               "ProviderName     : Demo-Provider",
               "TaskDisplayName  : ",
               "Id               : 42",
               "UserId           : S-1-5-18",
               "MachineName      : HOST01.example.local",
               "Message          : Backup finished.",
               pad,
               pad + "Details:",
               pad + "\tFiles:\t1200",
               pad,
               "",
               "",
               ""}),
       {{"Application", "10233", "2024-03-14 09:05:07", "1 - Error", "Application Error",
         "Application Crashing Events", "1000", "", "HOST01.example.local",
         "The service terminated unexpectedly because the configured recovery program could not "
         "be started after the third consecutive failure of the worker process on this computer. "},
        {"Application", "10234", "2024-03-14 09:06:41", "3 - Information", "Demo-Provider", "", "42",
         "S-1-5-18", "HOST01.example.local", "Backup finished.  Details: \tFiles:\t1200  "}}});

  cases.push_back({"FourLineMessageGetsOneTrailingSpace",
                   Join({Block("7", "Warning", "Logon", "Line one")},
                        {pad + "Line two", pad + "  indented three", pad + "Line four"}),
                   {Record("7", "2 - Warning", "Logon", "Line one Line two indented three Line four ")}});

  cases.push_back(
      {"LevelNamesMapExactly",
       Join({Block("1", "Varning", "", "a"), Block("2", "Fel", "", "b"), Block("3", "Critical", "", "c"),
             Block("4", "Verbose", "", "d"), Block("5", "error", "", "e")}),
       {Record("1", "2 - Varning", "", "a "), Record("2", "1 - Fel", "", "b "),
        Record("3", "3 - Information", "", "c "), Record("4", "3 - Information", "", "d "),
        Record("5", "3 - Information", "", "e ")}});

  {
    auto block = Block("9", "Error", "", "No task here");
    block.erase(block.begin() + 5);
    cases.push_back(
        {"BlockWithoutTaskDisplayName", Join({block}), {Record("9", "1 - Error", "n/a", "No task here ")}});
  }
  {
    // A log name too long for the field is split by characters and joined
    // back without a separator.
    const std::string first(100, 'A');
    auto block = Block("3", "Information", "", "m");
    block[0] = "LogName          : " + first;
    block.insert(block.begin() + 1, pad + "Operational");
    auto expected = Record("3", "3 - Information", "", "m ");
    expected.LogName = first + "Operational";
    cases.push_back({"WrappedLogName", Join({block}), {expected}});
  }
  {
    // A provider name over two continuation lines shifts the block: the rest
    // comes out as a second record with defaults where nothing was read.
    auto block = Block("4", "Error", "Task", "m");
    block.insert(block.begin() + 5, {pad + "Part-Two", pad + "Part-Three"});
    auto first = Record("4", "1 - Error", "n/a", "n/a");
    first.Source = "Demo-ProviderPart-Two";
    first.EventID = "0";
    first.UserName = "n/a";
    first.MachineName = "n/a";
    EventRecord shifted{.Category = "Task",
                        .EventID = "1000",
                        .UserName = "S-1-5-18",
                        .MachineName = "HOST01.example.local",
                        .Message = "m "};
    cases.push_back({"ValueWrappingTwiceShiftsTheBlock", Join({block}), {first, shifted}});
  }
  cases.push_back({"BlockWithoutColonStopsTheParse",
                   Join({Block("1", "Error", "", "kept"),
                         {"This line has no colon at all", "LogName          : Application"}}),
                   {Record("1", "1 - Error", "", "kept ")},
                   true});
  cases.push_back({"EmptyFile", "", {}});
  cases.push_back({"OnlyTheMark", "\xFF\xFE", {}});
  cases.push_back({"BlankLines", Output({"", "", "   ", "          ", ""}), {}});
  {
    // The same block written as UTF-8, with and without a mark, and LF only.
    std::string text = "\n\n";
    for (const auto& line : Block("5", "Information", "T\xC3\xA4sk",
                                  "\xC3\x9C"
                                  "berwachung \xE7\x9B\xA3\xE8\xA6\x96"))
      text += line + "\n";
    text += "\n\n\n";
    const auto expected = Record("5", "3 - Information", "T\xC3\xA4sk",
                                 "\xC3\x9C"
                                 "berwachung \xE7\x9B\xA3\xE8\xA6\x96 ");
    cases.push_back({"Utf8WithoutMark", text, {expected}});
    cases.push_back({"Utf8WithMark", "\xEF\xBB\xBF" + text, {expected}});
    cases.push_back({"Utf16Le", EncodeUtf16LeWithBom(Utf8ToUtf16(text)), {expected}});
  }
  return cases;
}

void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class ParseEventListTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseEventListTest, GivesTheRecordsTheReaderHasAlwaysGiven) {
  const auto& c = GetParam();
  const EventListParse result = ParseEventList(c.file);
  EXPECT_EQ(result.error.has_value(), c.stops_with_error) << result.error.value_or("");
  ASSERT_EQ(result.records.size(), c.expected.size());
  for (size_t i = 0; i < c.expected.size(); ++i) {
    EXPECT_EQ(FormatEventLine(result.records[i]), FormatEventLine(c.expected[i])) << "record " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, ParseEventListTest, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvane::events
