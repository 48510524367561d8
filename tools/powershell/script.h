#pragma once
// The stand-in's reading of a command text: statements separated by line
// breaks or ";", each a pipeline of commands with parameters, values
// (single-quoted strings with doubled quotes, bare words, comma lists) and one
// output redirection. A text that does not parse is rejected whole, as
// PowerShell rejects it before running anything.

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace corvane::powershell {

// "-Name" (a parameter, `values` empty) or a value: one item, or the items
// of a comma list.
struct Argument {
  std::optional<std::string> parameter;
  std::vector<std::string> values;
};

struct CommandCall {
  std::string name;
  std::vector<Argument> arguments;
};

struct Statement {
  std::vector<CommandCall> pipeline;
  std::optional<std::string> output_file;  // "> path"
  bool append = false;                     // ">> path"
};

struct ParseError {
  std::string message;
};

std::variant<std::vector<Statement>, ParseError> ParseScript(std::string_view text);

}  // namespace corvane::powershell
