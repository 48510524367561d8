#pragma once
// Conversion between the interface's UTF-16 strings and the engine's bytes by
// Windows code page number. 0 (the system's ANSI code page) and 65001 are
// UTF-8; other numbers name the system's converters (1252 CP1252, 932 CP932,
// 28591 ISO-8859-1, ...). As Windows does, a character the code page lacks
// becomes "?", and bytes that are not valid text become U+FFFD.

#include <optional>
#include <string>
#include <string_view>

namespace ostrel::os {

// The number the system's ANSI code page counts as.
constexpr int kAnsiCodePage = 65001;

bool IsSupportedCodePage(int code_page);
// Nothing when the code page has no converter.
std::optional<std::string> WideToBytes(std::u16string_view text, int code_page);
std::optional<std::u16string> BytesToWide(std::string_view bytes, int code_page);

}  // namespace ostrel::os
