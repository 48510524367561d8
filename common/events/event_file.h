#pragma once
// The event file's line layout, shared by the service's event file and the
// console's test event file: a header line, then one record per line, the ten
// fields joined by TAB as they are (a TAB inside a field is not escaped),
// every line ended by CR LF.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "common/events/event_record.h"

namespace corvane::events {

inline constexpr std::string_view kEventFileHeader =
    "LogName\tRecordId\tTimeCreated\tLevel\tSource\tCategory\tEventID\tUserName\tMachineName\t"
    "Message";

std::string FormatEventLine(const EventRecord& record);

// Replaces the file with one holding only the header. Throws
// std::runtime_error naming the file.
void CreateEventFile(const std::filesystem::path& path);

// What the first-cycle index reads of a line: the texts before the first,
// second and third TAB. Nothing when the line has fewer than three TABs.
struct EventIndexFields {
  std::string_view log_name;
  std::string_view record_id;
  std::string_view time_created;
};
std::optional<EventIndexFields> SplitEventIndexFields(std::string_view line);

}  // namespace corvane::events
