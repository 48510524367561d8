#include "common/events/event_file.h"

#include "platform/system/text_file.h"

namespace corvane::events {

std::string FormatEventLine(const EventRecord& r) {
  std::string line;
  for (const std::string* field : {&r.LogName, &r.RecordId, &r.TimeCreated, &r.Level, &r.Source, &r.Category,
                                   &r.EventID, &r.UserName, &r.MachineName}) {
    line += *field;
    line += '\t';
  }
  line += r.Message;
  return line;
}

void CreateEventFile(const std::filesystem::path& path) {
  platform::WriteTextLines(path, {std::string(kEventFileHeader)});
}

std::optional<EventIndexFields> SplitEventIndexFields(std::string_view line) {
  const size_t first = line.find('\t');
  if (first == std::string_view::npos) return std::nullopt;
  const size_t second = line.find('\t', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  const size_t third = line.find('\t', second + 1);
  if (third == std::string_view::npos) return std::nullopt;
  return EventIndexFields{line.substr(0, first), line.substr(first + 1, second - first - 1),
                          line.substr(second + 1, third - second - 1)};
}

}  // namespace corvane::events
