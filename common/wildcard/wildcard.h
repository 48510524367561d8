#pragma once
// The wildcard compare of the filter rules' text patterns, shared unchanged
// by the service's filter engine and the console's editor and test. Values
// and patterns are UTF-8 and are compared character by character.
//
// Pattern elements: "*" any run of characters (also none), "?" one
// character, "#" one decimal digit 0-9, "[list]" one character in the list,
// "[!list]" one character not in it; a list holds single characters and
// ascending ranges "a-z", and "[", "?", "#", "*" stand for themselves inside
// it. A hyphen first or last in a list, and "!" anywhere but first, are
// plain characters. "[]" matches no character and "[!]" any one. Every other
// character matches itself. The whole value must be covered.
//
// A pattern with an opening bracket and no closing bracket, or with a
// descending range, cannot be read; the compare then throws
// WildcardPatternError and leaves its result flag alone.

#include <stdexcept>
#include <string>
#include <string_view>

namespace corvane {

class WildcardPatternError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class CaseMode {
  kBinary,  // characters by their codes
  kText,    // ignoring case
};

// True when `value` matches `pattern`; throws WildcardPatternError.
bool WildcardMatch(std::string_view value, std::string_view pattern, CaseMode mode);

// Throws WildcardPatternError when the pattern cannot be read.
void ValidatePattern(std::string_view pattern);

// `result` becomes true when value1 matches pattern1 and value2 matches
// pattern2; the second pair is tested only when the first matched. On a
// pattern that cannot be read the exception leaves `result` as it was.
void StringCompareBin(std::string_view value1, std::string_view pattern1, std::string_view value2,
                      std::string_view pattern2, bool& result);
void StringCompareText(std::string_view value1, std::string_view pattern1, std::string_view value2,
                       std::string_view pattern2, bool& result);

// A pattern that matches exactly `text` (its special characters bracketed).
std::string EscapeWildcardText(std::string_view text);

}  // namespace corvane
