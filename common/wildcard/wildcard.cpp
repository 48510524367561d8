#include "common/wildcard/wildcard.h"

#include "platform/text/case_fold.h"

namespace corvane {
namespace {

// Bytes that do not form valid UTF-8 become one character each, above the
// Unicode range, so they still compare exactly and never fold.
constexpr char32_t kInvalidByteBase = 0x110000;

char32_t DecodeNext(std::string_view s, size_t& i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) {
    ++i;
    return lead;
  }
  size_t length = 0;
  char32_t c = 0;
  char32_t min = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, c = lead & 0x1F, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, c = lead & 0x0F, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, c = lead & 0x07, min = 0x10000;
  }
  if (length == 0 || i + length > s.size()) {
    ++i;
    return kInvalidByteBase + lead;
  }
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) {
      ++i;
      return kInvalidByteBase + lead;
    }
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++i;
    return kInvalidByteBase + lead;
  }
  i += length;
  return c;
}

[[noreturn]] void Unreadable(std::string_view why, std::string_view pattern) {
  throw WildcardPatternError("Invalid pattern string (" + std::string(why) + "): " + std::string(pattern));
}

bool SameChar(char32_t a, char32_t b, CaseMode mode) {
  if (a == b) return true;
  return mode == CaseMode::kText && platform::FoldCase(a) == platform::FoldCase(b);
}

bool InRange(char32_t c, char32_t first, char32_t last, CaseMode mode) {
  if (c >= first && c <= last) return true;
  if (mode == CaseMode::kBinary) return false;
  const char32_t lower = platform::ToLowerChar(c);
  const char32_t upper = platform::ToUpperChar(c);
  return (lower >= first && lower <= last) || (upper >= first && upper <= last);
}

// The list of a bracket element; `i` stands after "[" and ends after "]".
// The pattern was validated, so the closing bracket is there.
bool ListHolds(std::string_view pattern, size_t& i, char32_t c, CaseMode mode) {
  bool negate = false;
  if (i < pattern.size() && pattern[i] == '!') {
    negate = true;
    ++i;
  }
  bool found = false;
  while (pattern[i] != ']') {
    const char32_t first = DecodeNext(pattern, i);
    char32_t last = first;
    if (pattern[i] == '-' && i + 1 < pattern.size() && pattern[i + 1] != ']') {
      ++i;
      last = DecodeNext(pattern, i);
    }
    if (!found) found = first == last ? SameChar(c, first, mode) : InRange(c, first, last, mode);
  }
  ++i;
  return found != negate;
}

// Whether the one-character element at `p` matches `c`; `p` moves past it.
bool ElementMatches(std::string_view pattern, size_t& p, char32_t c, CaseMode mode) {
  switch (pattern[p]) {
    case '?':
      ++p;
      return true;
    case '#':
      ++p;
      return c >= '0' && c <= '9';
    case '[':
      ++p;
      return ListHolds(pattern, p, c, mode);
    default:
      return SameChar(c, DecodeNext(pattern, p), mode);
  }
}

bool IsPlainAscii(unsigned char c) { return c < 0x80 && c != '*' && c != '?' && c != '#' && c != '['; }

unsigned char AsciiLower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

bool SameAscii(unsigned char value, unsigned char pattern, CaseMode mode) {
  return value == pattern || (mode == CaseMode::kText && AsciiLower(value) == AsciiLower(pattern));
}

bool IsOnlyStars(std::string_view pattern) {
  return pattern.find_first_not_of('*') == std::string_view::npos;
}

}  // namespace

void ValidatePattern(std::string_view pattern) {
  size_t i = 0;
  while (i < pattern.size()) {
    if (pattern[i] != '[') {
      DecodeNext(pattern, i);
      continue;
    }
    ++i;
    if (i < pattern.size() && pattern[i] == '!') ++i;
    while (true) {
      if (i >= pattern.size()) Unreadable("no closing bracket", pattern);
      if (pattern[i] == ']') break;
      const char32_t first = DecodeNext(pattern, i);
      if (i < pattern.size() && pattern[i] == '-' && i + 1 < pattern.size() && pattern[i + 1] != ']') {
        ++i;
        const char32_t last = DecodeNext(pattern, i);
        if (last < first) Unreadable("descending range", pattern);
      }
    }
    ++i;
  }
}

bool WildcardMatch(std::string_view value, std::string_view pattern, CaseMode mode) {
  // Most rules leave their fields at "*"; such a pattern needs no walk.
  if (!pattern.empty() && IsOnlyStars(pattern)) return true;
  ValidatePattern(pattern);

  // Every element other than "*" covers exactly one character, so it is
  // enough to go back to the last star and let it cover one more character.
  constexpr size_t kNone = std::string_view::npos;
  size_t p = 0;
  size_t v = 0;
  size_t star_p = kNone;
  size_t star_v = 0;
  while (v < value.size()) {
    if (p < pattern.size()) {
      const auto pc = static_cast<unsigned char>(pattern[p]);
      if (pc == '*') {
        star_p = ++p;
        star_v = v;
        continue;
      }
      const auto vc = static_cast<unsigned char>(value[v]);
      if (IsPlainAscii(pc) && vc < 0x80) {
        // The common case, without decoding.
        if (SameAscii(vc, pc, mode)) {
          ++p;
          ++v;
          continue;
        }
      } else {
        size_t next_v = v;
        const char32_t c = DecodeNext(value, next_v);
        size_t next_p = p;
        if (ElementMatches(pattern, next_p, c, mode)) {
          p = next_p;
          v = next_v;
          continue;
        }
      }
    }
    if (star_p == kNone) return false;
    DecodeNext(value, star_v);
    // When the star is followed by a plain ASCII character, the star can
    // cover every ASCII character that is not it at once. Other characters
    // are stepped over one by one: in text mode some fold to ASCII.
    if (star_p < pattern.size() && IsPlainAscii(static_cast<unsigned char>(pattern[star_p]))) {
      const auto next = static_cast<unsigned char>(pattern[star_p]);
      while (star_v < value.size()) {
        const auto vc = static_cast<unsigned char>(value[star_v]);
        if (vc >= 0x80 || SameAscii(vc, next, mode)) break;
        ++star_v;
      }
    }
    p = star_p;
    v = star_v;
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

namespace {

void CompareTwoPairs(std::string_view value1, std::string_view pattern1, std::string_view value2,
                     std::string_view pattern2, bool& result, CaseMode mode) {
  if (!WildcardMatch(value1, pattern1, mode)) {
    result = false;
    return;
  }
  result = WildcardMatch(value2, pattern2, mode);
}

}  // namespace

void StringCompareBin(std::string_view value1, std::string_view pattern1, std::string_view value2,
                      std::string_view pattern2, bool& result) {
  CompareTwoPairs(value1, pattern1, value2, pattern2, result, CaseMode::kBinary);
}

void StringCompareText(std::string_view value1, std::string_view pattern1, std::string_view value2,
                       std::string_view pattern2, bool& result) {
  CompareTwoPairs(value1, pattern1, value2, pattern2, result, CaseMode::kText);
}

std::string EscapeWildcardText(std::string_view text) {
  std::string pattern;
  pattern.reserve(text.size());
  for (char c : text) {
    if (c == '*' || c == '?' || c == '#' || c == '[') {
      pattern += '[';
      pattern += c;
      pattern += ']';
    } else {
      pattern += c;
    }
  }
  return pattern;
}

}  // namespace corvane
