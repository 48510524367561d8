// Feeds arbitrary patterns and values (any bytes, split at the first NUL)
// to the wildcard compare in both modes. Besides crashes and undefined
// behaviour it checks two properties: a value matches the pattern that
// escapes it, and validation agrees with matching about what is unreadable.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/wildcard/wildcard.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\0');
  const std::string_view pattern = input.substr(0, split);
  const std::string_view value = split == std::string_view::npos ? "" : input.substr(split + 1);

  bool readable = true;
  try {
    corvane::ValidatePattern(pattern);
  } catch (const corvane::WildcardPatternError&) {
    readable = false;
  }
  for (auto mode : {corvane::CaseMode::kBinary, corvane::CaseMode::kText}) {
    try {
      corvane::WildcardMatch(value, pattern, mode);
      // "*" patterns skip validation; everything else must have passed it.
      if (!readable && pattern.find_first_not_of('*') != std::string_view::npos) std::abort();
    } catch (const corvane::WildcardPatternError&) {
      if (readable) std::abort();
    }
    if (!corvane::WildcardMatch(value, corvane::EscapeWildcardText(value), mode)) std::abort();
  }
  return 0;
}
