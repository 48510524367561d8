#include "common/events/list_format.h"

#include <string>

#include "common/events/text_encoding.h"

namespace corvane::events {
namespace {

using Text = std::u16string;
using TextView = std::u16string_view;

// Only spaces, as the line reader has always trimmed: a tab at the start of a
// message line is part of the message.
TextView Trim(TextView text) {
  while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  return text;
}

std::vector<Text> SplitLines(TextView text) {
  std::vector<Text> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(u'\n', start);
    if (end == TextView::npos) end = text.size();
    TextView line = text.substr(start, end - start);
    if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
    lines.emplace_back(line);
    start = end + 1;
  }
  return lines;
}

// One pass over the lines, holding the parser's current line, key and colon
// column across the property steps of a block.
class BlockParser {
 public:
  explicit BlockParser(std::vector<Text> lines) : lines_(std::move(lines)) {}

  EventListParse Run() {
    EventListParse result;
    while (LinesLeft()) {
      EventRecord record;
      line_ = Next();
      if (line_.size() <= 10) continue;
      const size_t colon = line_.find(u':');
      if (colon == Text::npos) {
        result.error = "The PowerShell output cannot be read: line " + std::to_string(next_) +
                       " begins a block but has no ':' (" + Utf16ToUtf8(line_) + ")";
        return result;
      }
      colon_ = colon;
      key_ = KeyOf(line_);
      ParseBlock(record);
      result.records.push_back(std::move(record));
    }
    return result;
  }

 private:
  bool LinesLeft() const { return next_ < lines_.size(); }
  Text Next() { return lines_[next_++]; }
  Text KeyOf(TextView line) const { return Text(Trim(line.substr(0, std::min(colon_, line.size())))); }
  std::string Value() const {
    if (colon_ + 1 >= line_.size()) return {};
    return Utf16ToUtf8(Trim(TextView(line_).substr(colon_ + 1)));
  }
  void Advance() {
    if (!LinesLeft()) return;
    line_ = Next();
    key_ = KeyOf(line_);
  }
  // A property whose value may wrap once: the next line continues it (and is
  // appended, trimmed, without a separator) only when it is indented past the
  // labels; any other line is the next property. The old test, "does not begin
  // with the expected label", glued a following property into the value when a
  // property was missing, and lost that property.
  void ContinueIfWrapped(std::string& field) {
    if (!LinesLeft()) return;
    line_ = Next();
    key_ = KeyOf(line_);
    if (key_.empty() && line_.size() > colon_) {
      field += Utf16ToUtf8(Trim(line_));
      Advance();
    }
  }

  void ParseBlock(EventRecord& record) {
    if (key_ == u"LogName") {
      record.LogName = Value();
      ContinueIfWrapped(record.LogName);
    }
    if (key_ == u"RecordId") {
      record.RecordId = Value();
      Advance();
    }
    if (key_ == u"TimeCreated") {
      record.TimeCreated = Value();
      Advance();
    }
    if (key_ == u"LevelDisplayName") {
      record.Level = MapLevel(Value());
      Advance();
    }
    if (key_ == u"ProviderName") {
      record.Source = Value();
      ContinueIfWrapped(record.Source);
    }
    if (key_ == u"TaskDisplayName") {
      record.Category = Value();
      ContinueIfWrapped(record.Category);
    }
    if (key_ == u"Id") {
      record.EventID = Value();
      Advance();
    }
    if (key_ == u"UserId") {
      record.UserName = Value();
      ContinueIfWrapped(record.UserName);
    }
    if (key_ == u"MachineName") {
      record.MachineName = Value();
      Advance();
    }
    if (key_ == u"Message") {
      record.Message = Value();
      // The empty line that ends the block is consumed here too and leaves
      // one trailing space: the event files have always carried it.
      while (!line_.empty() && LinesLeft()) {
        line_ = Next();
        record.Message += ' ';
        record.Message += Utf16ToUtf8(Trim(line_));
      }
    }
  }

  std::vector<Text> lines_;
  size_t next_ = 0;
  Text line_;
  Text key_;
  size_t colon_ = 0;
};

}  // namespace

std::string MapLevel(std::string_view level_name) {
  if (level_name == "Error" || level_name == "Fel") return "1 - " + std::string(level_name);
  if (level_name == "Warning" || level_name == "Varning") return "2 - " + std::string(level_name);
  return "3 - Information";
}

EventListParse ParseEventList(std::string_view file_bytes) {
  return BlockParser(SplitLines(DecodeTextFile(file_bytes))).Run();
}

}  // namespace corvane::events
