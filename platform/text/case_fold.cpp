#include "platform/text/case_fold.h"

#include <locale.h>

#include <cwctype>

namespace corvane::platform {
namespace {

// The C.UTF-8 locale carries the full Unicode case tables whatever locale the
// process runs in; it is built into the C library, so it is always there.
locale_t CaseLocale() {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
  return locale;
}

constexpr char32_t kLastCodePoint = 0x10FFFF;

}  // namespace

char32_t ToLowerChar(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
  if (c > kLastCodePoint || CaseLocale() == locale_t{}) return c;
  return static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), CaseLocale()));
}

char32_t ToUpperChar(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - ('a' - 'A') : c;
  if (c > kLastCodePoint || CaseLocale() == locale_t{}) return c;
  return static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), CaseLocale()));
}

// Lower case of the upper case, so that pairs such as the long s and s, or
// the Kelvin sign and k, fold together as well.
char32_t FoldCase(char32_t c) { return ToLowerChar(ToUpperChar(c)); }

}  // namespace corvane::platform
