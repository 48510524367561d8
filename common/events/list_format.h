#pragma once
// The reader of PowerShell's list format: turns what `get-winevent ... |
// format-list ...` wrote into event records, block by block, exactly as both
// programs have always read it, quirks included (a record for every line of
// more than 10 characters that begins a pass, one trailing space from the
// empty line that ends a block, shifted records after a value that wraps too
// often). A pure function of the file's bytes, so the console, the service
// and the fuzz target share it.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/events/event_record.h"

namespace corvane::events {

struct EventListParse {
  std::vector<EventRecord> records;
  // Set when the parse stopped at a block it cannot split (its first line
  // has no ":"); the records before it stand.
  std::optional<std::string> error;
};

// `file_bytes` is the temporary file as PowerShell left it, decoded by its
// byte-order mark (UTF-16LE, UTF-16BE, UTF-8 with or without one).
EventListParse ParseEventList(std::string_view file_bytes);

// "Error"/"Fel" -> "1 - <name>", "Warning"/"Varning" -> "2 - <name>",
// anything else -> "3 - Information". Exact and case-sensitive.
std::string MapLevel(std::string_view level_name);

}  // namespace corvane::events
