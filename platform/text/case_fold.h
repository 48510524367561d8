#pragma once
// Case mapping of single Unicode characters by the system's rules, for the
// case-insensitive wildcard compare. Characters without a case mapping, and
// values outside Unicode, come back unchanged.

namespace corvane::platform {

char32_t ToLowerChar(char32_t c);
char32_t ToUpperChar(char32_t c);
// The form two characters share when they differ only in case.
char32_t FoldCase(char32_t c);

}  // namespace corvane::platform
