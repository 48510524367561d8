#include "common/wildcard/wildcard.h"

#include <fnmatch.h>
#include <gtest/gtest.h>

#include <random>

namespace corvane {
namespace {

struct MatchCase {
  const char* value;
  const char* pattern;
  bool binary;  // expected with CaseMode::kBinary
  bool text;    // expected with CaseMode::kText
};

TEST(WildcardMatchTest, Elements) {
  const MatchCase cases[] = {
      // Star and empty.
      {"", "*", true, true},
      {"n/a", "", false, false},
      {"", "", true, true},
      {"anything at all", "*", true, true},
      {"abc", "a*c", true, true},
      {"ac", "a*c", true, true},
      {"abcbc", "a*bc", true, true},
      {"abcb", "a*bc", false, false},
      {"abc", "**c", true, true},
      // Event ids.
      {"6", "6*", true, true},
      {"61", "6*", true, true},
      {"611", "6*", true, true},
      {"61", "6?", true, true},
      {"6", "6?", false, false},
      {"611", "6?", false, false},
      {"61", "6#", true, true},
      {"6A", "6#", false, false},
      {"4624", "####", true, true},
      {"462", "####", false, false},
      // Lists, ranges and negation.
      {"b", "[abc]", true, true},
      {"d", "[abc]", false, false},
      {"m", "[a-z]", true, true},
      {"M", "[a-z]", false, true},
      {"5", "[!0-9]", false, false},
      {"x", "[!0-9]", true, true},
      {"X", "[!x]", true, false},
      {"-", "[a-]", true, true},
      {"-", "[-a]", true, true},
      {"!", "[a!]", true, true},
      {"a", "[]", false, false},
      {"", "[]", false, false},
      {"a", "[!]", true, true},
      {"ab", "[!]", false, false},
      {"Event 7036", "Event [0-9][0-9]*", true, true},
      // Specials stand for themselves inside brackets; "]" does outside.
      {"*", "[*]", true, true},
      {"a", "[*]", false, false},
      {"?", "[?]", true, true},
      {"#", "[#]", true, true},
      {"[", "[[]", true, true},
      {"a[1]", "a[[]1]", true, true},
      {"]", "]", true, true},
      {"100% done?", "100% done[?]", true, true},
      // Case.
      {"Service Control Manager", "service control*", false, true},
      {"Service Control Manager", "Service Control*", true, true},
      {"ERROR", "error", false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("value '") + c.value + "' pattern '" + c.pattern + "'");
    EXPECT_EQ(WildcardMatch(c.value, c.pattern, CaseMode::kBinary), c.binary);
    EXPECT_EQ(WildcardMatch(c.value, c.pattern, CaseMode::kText), c.text);
  }
}

TEST(WildcardMatchTest, NonAsciiCountsCharactersNotBytes) {
  const MatchCase cases[] = {
      {"Größe", "Gr??e", true, true},  // ö is two bytes, one character
      {"Größe", "Gr???e", false, false},
      {"Ошибка", "??????", true, true},  // six Cyrillic letters, twelve bytes
      {"ОШИБКА", "ошибка", false, true},
      {"Ärger", "ä*", false, true},
      {"Ärger", "[ÄÖÜ]rger", true, true},
      {"ärger", "[ÄÖÜ]rger", false, true},
      {"Ωmega", "[Α-Ω]mega", true, true},  // Greek range by code
      {"ωmega", "[Α-Ω]mega", false, true},
      {"日本語のログ", "日本*ログ", true, true},
      {"日本語のログ", "日本?ログ", false, false},
      {"€", "?", true, true},               // three bytes
      {"😀", "?", true, true},               // four bytes
      {"STRASSE", "straße", false, false},  // folding is per character
      {"ẞ", "ß", false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("value '") + c.value + "' pattern '" + c.pattern + "'");
    EXPECT_EQ(WildcardMatch(c.value, c.pattern, CaseMode::kBinary), c.binary);
    EXPECT_EQ(WildcardMatch(c.value, c.pattern, CaseMode::kText), c.text);
  }
}

TEST(WildcardMatchTest, InvalidUtf8BytesAreSingleCharacters) {
  const std::string broken = "a\xC3z";  // a lead byte without its continuation
  EXPECT_TRUE(WildcardMatch(broken, "a?z", CaseMode::kBinary));
  EXPECT_TRUE(WildcardMatch(broken, broken, CaseMode::kText));
  EXPECT_FALSE(WildcardMatch(broken, "a??z", CaseMode::kBinary));
  EXPECT_TRUE(WildcardMatch("\xFF\xFE", "??", CaseMode::kText));
}

TEST(WildcardMatchTest, UnreadablePatternsThrow) {
  for (const char* pattern : {"[abc", "a*[", "[!", "x[a-", "[z-a]", "[]]["}) {
    SCOPED_TRACE(pattern);
    EXPECT_THROW(WildcardMatch("abc", pattern, CaseMode::kBinary), WildcardPatternError);
    EXPECT_THROW(ValidatePattern(pattern), WildcardPatternError);
  }
  // Checked as a whole, even where the value fails before the bad part.
  EXPECT_THROW(WildcardMatch("zzz", "a[", CaseMode::kText), WildcardPatternError);
  EXPECT_NO_THROW(
      ValidatePattern("[a-a]]["
                      "]"));
}

TEST(StringCompareTest, SecondPairOnlyAfterFirstMatched) {
  bool result = false;
  StringCompareBin("Disk", "D*", "Storage", "S*", result);
  EXPECT_TRUE(result);
  StringCompareBin("Disk", "d*", "Storage", "S*", result);
  EXPECT_FALSE(result);
  StringCompareText("Disk", "d*", "Storage", "s*", result);
  EXPECT_TRUE(result);

  // A first pair that fails hides an unreadable second pattern.
  result = true;
  StringCompareBin("Disk", "X*", "Storage", "[", result);
  EXPECT_FALSE(result);

  // An unreadable pattern leaves the flag as it came in.
  for (bool before : {true, false}) {
    result = before;
    EXPECT_THROW(StringCompareText("Disk", "*", "Storage", "[S", result), WildcardPatternError);
    EXPECT_EQ(result, before);
    EXPECT_THROW(StringCompareBin("Disk", "[D", "Storage", "*", result), WildcardPatternError);
    EXPECT_EQ(result, before);
  }
}

TEST(EscapeWildcardTextTest, EscapedTextMatchesItselfOnly) {
  const std::string text = "a*b?c#d[e]f";
  const std::string pattern = EscapeWildcardText(text);
  EXPECT_TRUE(WildcardMatch(text, pattern, CaseMode::kBinary));
  EXPECT_FALSE(WildcardMatch("aXb?c#d[e]f", pattern, CaseMode::kBinary));
  EXPECT_FALSE(WildcardMatch("a*b?c1d[e]f", pattern, CaseMode::kBinary));
}

// The same pattern in the C library's syntax: "#" becomes a digit list and
// backslashes are plain characters there too (FNM_NOESCAPE).
std::string ToFnmatch(const std::string& pattern) {
  std::string out;
  bool in_list = false;
  for (char c : pattern) {
    if (in_list) {
      in_list = c != ']';
      out += c;
    } else if (c == '#') {
      out += "[0-9]";
    } else {
      in_list = c == '[';
      out += c;
    }
  }
  return out;
}

// Random ASCII patterns against the C library's matcher as an oracle. Lists
// are kept non-empty and free of the characters that have a meaning of their
// own in its lists (":", ".", "=", "^").
TEST(WildcardMatchTest, AgreesWithFnmatchOnAscii) {
  std::mt19937 random(20261211);
  const std::string alphabet = "ab1-!*?#[]";
  const auto pick = [&](const std::string& from) {
    return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(random)];
  };
  int compared = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string pattern;
    bool in_list = false;
    const int length = std::uniform_int_distribution<int>(0, 7)(random);
    for (int k = 0; k < length; ++k) {
      char c = pick(alphabet);
      if (c == ']' && in_list && (pattern.back() == '[' || pattern.ends_with("[!"))) c = 'a';
      if (c == '[' && !in_list)
        in_list = true;
      else if (c == ']' && in_list)
        in_list = false;
      pattern += c;
    }
    std::string value;
    const int value_length = std::uniform_int_distribution<int>(0, 5)(random);
    for (int k = 0; k < value_length; ++k) value += pick("ab1-!*?#[]2");
    bool ours = false;
    try {
      ours = WildcardMatch(value, pattern, CaseMode::kBinary);
    } catch (const WildcardPatternError&) {
      continue;
    }
    const bool theirs = fnmatch(ToFnmatch(pattern).c_str(), value.c_str(), FNM_NOESCAPE) == 0;
    ASSERT_EQ(ours, theirs) << "value '" << value << "' pattern '" << pattern << "'";
    ++compared;
  }
  EXPECT_GT(compared, 10000);
}

// Without lists (whose case rules differ between the two), the case-blind
// compare agrees with FNM_CASEFOLD.
TEST(WildcardMatchTest, TextModeAgreesWithFnmatchCaseFoldOnAscii) {
  std::mt19937 random(1211);
  const std::string alphabet = "aAbB1*?#";
  const auto pick = [&](const std::string& from, int max) {
    std::string out;
    const int length = std::uniform_int_distribution<int>(0, max)(random);
    for (int k = 0; k < length; ++k) {
      out += from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(random)];
    }
    return out;
  };
  for (int round = 0; round < 20000; ++round) {
    const std::string pattern = pick(alphabet, 7);
    const std::string value = pick("aAbB12", 6);
    const bool theirs = fnmatch(ToFnmatch(pattern).c_str(), value.c_str(), FNM_NOESCAPE | FNM_CASEFOLD) == 0;
    ASSERT_EQ(WildcardMatch(value, pattern, CaseMode::kText), theirs)
        << "value '" << value << "' pattern '" << pattern << "'";
  }
}

}  // namespace
}  // namespace corvane
