#pragma once
// Text files shared with Windows machines: lines are written with CR LF and
// read with LF or CR LF. Failures throw std::runtime_error with a description
// that names the file, for the callers' error entries.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::platform {

// Appends one line and its CR LF, creating the file when missing.
void AppendTextLine(const std::filesystem::path& path, std::string_view line);
// Replaces the file with these lines, each ended by CR LF.
void WriteTextLines(const std::filesystem::path& path, const std::vector<std::string>& lines);
// The file's lines without their line ends; a last line without an end counts.
std::vector<std::string> ReadTextLines(const std::filesystem::path& path);
// Splits text at LF, dropping a CR before it.
std::vector<std::string> SplitTextLines(std::string_view text);
std::string ReadWholeFile(const std::filesystem::path& path);

}  // namespace corvane::platform
