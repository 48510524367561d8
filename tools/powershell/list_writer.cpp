#include "tools/powershell/list_writer.h"

#include <algorithm>

namespace corvane::powershell {

std::vector<std::u16string> WrapValueLine(std::u16string_view line, int field_width) {
  const size_t width = static_cast<size_t>(std::max(field_width, 1));
  std::vector<std::u16string> lines;
  if (line.empty()) return {std::u16string()};

  // Words keep their trailing delimiter, so a broken line ends with its space.
  std::vector<std::u16string_view> words;
  size_t start = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == u' ' || line[i] == u'\t') {
      words.push_back(line.substr(start, i + 1 - start));
      start = i + 1;
    }
  }
  words.push_back(line.substr(start));

  std::u16string current;
  size_t left = width;
  for (const auto word : words) {
    if (word.size() > width) {
      for (const char16_t unit : word) {
        if (left < 1) {
          lines.push_back(std::move(current));
          current.clear();
          left = width;
        }
        current.push_back(unit);
        --left;
      }
    } else if (word.size() > left) {
      lines.push_back(std::move(current));
      current = std::u16string(word);
      left = width - word.size();
    } else {
      current += word;
      left -= word.size();
    }
  }
  lines.push_back(std::move(current));
  return lines;
}

std::u16string FormatList(const std::vector<ListObject>& objects, int width) {
  if (objects.empty()) return {};
  std::u16string text = u"\r\n\r\n";
  for (const auto& object : objects) {
    size_t label_width = 0;
    for (const auto& [label, value] : object) label_width = std::max(label_width, label.size());
    const size_t value_column = label_width + 3;
    const std::u16string indent(value_column, u' ');
    const int field_width = width - static_cast<int>(value_column);

    for (const auto& [label, value] : object) {
      std::u16string prefix = label + std::u16string(label_width - label.size(), u' ') + u" : ";
      // CRs are dropped and the value split at LF; every line after the
      // first, empty ones too, is indented to the value column.
      std::u16string flat;
      for (const char16_t unit : value) {
        if (unit != u'\r') flat.push_back(unit);
      }
      size_t start = 0;
      for (;;) {
        const size_t end = flat.find(u'\n', start);
        const std::u16string_view part =
            std::u16string_view(flat).substr(start, end == std::u16string::npos ? flat.npos : end - start);
        bool first = true;
        for (const auto& piece : WrapValueLine(part, field_width)) {
          text += first ? prefix : indent;
          text += piece;
          text += u"\r\n";
          first = false;
        }
        prefix = indent;
        if (end == std::u16string::npos) break;
        start = end + 1;
      }
    }
    text += u"\r\n";
  }
  text += u"\r\n\r\n";
  return text;
}

}  // namespace corvane::powershell
