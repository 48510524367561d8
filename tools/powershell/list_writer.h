#pragma once
// PowerShell's list format (`format-list`) as Windows PowerShell 5.1 writes
// it: labels padded to the longest, " : ", values wrapped by words at the
// line width, further lines of a value indented to the value column, blank
// lines around the blocks. Works in UTF-16 units, which is what PowerShell
// measures; the caller encodes the result.

#include <string>
#include <utility>
#include <vector>

namespace corvane::powershell {

// One object's properties, label (the property's own name) and value, in the
// order the command listed them.
using ListObject = std::vector<std::pair<std::u16string, std::u16string>>;

inline constexpr int kDefaultWidth = 119;

// Lines end with CR LF. No objects give no text at all.
std::u16string FormatList(const std::vector<ListObject>& objects, int width = kDefaultWidth);

// The lines one value takes in a field `field_width` units wide: split at
// words (spaces and tabs end a word and stay with it), a word wider than the
// field split by units. An empty value is one empty line.
std::vector<std::u16string> WrapValueLine(std::u16string_view line, int field_width);

}  // namespace corvane::powershell
