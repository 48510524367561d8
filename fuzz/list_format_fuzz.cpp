// Feeds arbitrary bytes to the readers of what PowerShell and the
// administrator leave in files: the list-format parser (with its decoding by
// byte-order mark) and the ini line rules. Beyond the sanitizers' checks, a
// parsed field must never hold a line break, or it would break the event
// file's one-record-per-line layout.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/events/event_file.h"
#include "common/events/ini_rules.h"
#include "common/events/list_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto parsed = corvane::events::ParseEventList(bytes);
  for (const auto& record : parsed.records) {
    if (corvane::events::FormatEventLine(record).find('\n') != std::string::npos) __builtin_trap();
  }
  const std::string policy = corvane::events::ApplyIniText(bytes, "Set-ExecutionPolicy Unrestricted -force");
  if (policy.find('\n') != std::string::npos) __builtin_trap();
  return 0;
}
