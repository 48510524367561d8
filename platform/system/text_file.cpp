#include "platform/system/text_file.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace corvane::platform {
namespace {

[[noreturn]] void Fail(std::string_view what, const std::filesystem::path& path) {
  throw std::runtime_error(std::string(what) + " '" + path.string() + "'");
}

}  // namespace

void AppendTextLine(const std::filesystem::path& path, std::string_view line) {
  std::ofstream out(path, std::ios::binary | std::ios::app);
  if (!out) Fail("Cannot open file for appending", path);
  out << line << "\r\n";
  out.close();
  if (!out) Fail("Cannot write file", path);
}

void WriteTextLines(const std::filesystem::path& path, const std::vector<std::string>& lines) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) Fail("Cannot create file", path);
  for (const auto& line : lines) out << line << "\r\n";
  out.close();
  if (!out) Fail("Cannot write file", path);
}

std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail("Cannot open file", path);
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) Fail("Cannot read file", path);
  return std::move(text).str();
}

std::vector<std::string> SplitTextLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    start = end + 1;
  }
  return lines;
}

std::vector<std::string> ReadTextLines(const std::filesystem::path& path) {
  return SplitTextLines(ReadWholeFile(path));
}

}  // namespace corvane::platform
