#pragma once
// Conversions between the UTF-8 the programs keep their texts in and the
// UTF-16 that PowerShell measures and writes. Bad input is replaced by U+FFFD,
// never a reason to fail: these texts come from outside.

#include <string>
#include <string_view>

namespace corvane::events {

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// Decodes a text file by its byte-order mark: UTF-16LE (FF FE), UTF-16BE
// (FE FF), UTF-8 with (EF BB BF) or without one. An odd trailing byte of a
// UTF-16 file becomes U+FFFD.
std::u16string DecodeTextFile(std::string_view bytes);

// UTF-16LE with its byte-order mark, as Windows PowerShell's redirection writes.
std::string EncodeUtf16LeWithBom(std::u16string_view text);

}  // namespace corvane::events
