#include "tools/powershell/script.h"

#include <cctype>

namespace corvane::powershell {
namespace {

enum class TokenKind { kWord, kString, kPipe, kRedirect, kAppend, kComma, kEnd };

struct Token {
  TokenKind kind;
  std::string text;
};

// Characters that mean more PowerShell than the stand-in speaks (variables,
// sub-expressions, script blocks, escapes, call operators). A text using them
// is rejected before anything runs, so nothing is half-understood.
constexpr std::string_view kUnsupported = "$(){}@&`[]\"";

// The length of the single quote at `i`: "'" or one of U+2018 to U+201B,
// which PowerShell takes for the same quote; 0 for anything else.
size_t QuoteLength(std::string_view text, size_t i) {
  if (i < text.size() && text[i] == '\'') return 1;
  if (i + 2 < text.size() && text.substr(i, 2) == "\xE2\x80" &&
      static_cast<unsigned char>(text[i + 2]) >= 0x98 && static_cast<unsigned char>(text[i + 2]) <= 0x9B) {
    return 3;
  }
  return 0;
}

bool IsWordEnd(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ';' || c == '|' || c == ',' || c == '>' ||
         c == '\'' || c == '#';
}

std::variant<std::vector<Token>, ParseError> Tokenize(std::string_view text) {
  std::vector<Token> tokens;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == ' ' || c == '\t') {
      ++i;
    } else if (c == '\r' || c == '\n' || c == ';') {
      tokens.push_back({TokenKind::kEnd, {}});
      ++i;
    } else if (c == '#') {
      while (i < text.size() && text[i] != '\n' && text[i] != '\r') ++i;
    } else if (c == '|') {
      tokens.push_back({TokenKind::kPipe, {}});
      ++i;
    } else if (c == ',') {
      tokens.push_back({TokenKind::kComma, {}});
      ++i;
    } else if (c == '>') {
      const bool append = i + 1 < text.size() && text[i + 1] == '>';
      tokens.push_back({append ? TokenKind::kAppend : TokenKind::kRedirect, {}});
      i += append ? 2 : 1;
    } else if (size_t open = QuoteLength(text, i); open > 0) {
      // Two quotes stand for the second; a string may span lines.
      std::string value;
      i += open;
      for (;;) {
        if (i >= text.size()) return ParseError{"The string is missing the terminator: '."};
        if (const size_t quote = QuoteLength(text, i); quote > 0) {
          if (const size_t next = QuoteLength(text, i + quote); next > 0) {
            value += text.substr(i + quote, next);
            i += quote + next;
            continue;
          }
          i += quote;
          break;
        }
        value += text[i++];
      }
      tokens.push_back({TokenKind::kString, std::move(value)});
    } else if (kUnsupported.find(c) != std::string_view::npos) {
      return ParseError{std::string("Unexpected token '") + c +
                        "': this stand-in of PowerShell understands only the commands Corvane "
                        "sends."};
    } else {
      const size_t start = i;
      while (i < text.size() && !IsWordEnd(text[i]) && QuoteLength(text, i) == 0) {
        if (kUnsupported.find(text[i]) != std::string_view::npos) {
          return ParseError{std::string("Unexpected token '") + text[i] +
                            "': this stand-in of PowerShell understands only the commands "
                            "Corvane sends."};
        }
        ++i;
      }
      tokens.push_back({TokenKind::kWord, std::string(text.substr(start, i - start))});
    }
  }
  tokens.push_back({TokenKind::kEnd, {}});
  return tokens;
}

bool IsValue(const Token& token) {
  return token.kind == TokenKind::kWord || token.kind == TokenKind::kString;
}

bool IsParameterWord(const Token& token) {
  return token.kind == TokenKind::kWord && token.text.size() > 1 && token.text[0] == '-' &&
         std::isalpha(static_cast<unsigned char>(token.text[1])) != 0;
}

}  // namespace

std::variant<std::vector<Statement>, ParseError> ParseScript(std::string_view text) {
  auto tokenized = Tokenize(text);
  if (auto* error = std::get_if<ParseError>(&tokenized)) return *error;
  const auto& tokens = std::get<std::vector<Token>>(tokenized);

  std::vector<Statement> statements;
  size_t i = 0;
  while (i < tokens.size()) {
    if (tokens[i].kind == TokenKind::kEnd) {
      ++i;
      continue;
    }
    Statement statement;
    for (;;) {
      // One command of the pipeline.
      if (tokens[i].kind == TokenKind::kPipe || tokens[i].kind == TokenKind::kEnd) {
        return ParseError{"An empty pipe element is not allowed."};
      }
      // A quoted text here would be an expression, which the stand-in does
      // not evaluate; PowerShell rejects one followed by arguments as well.
      if (tokens[i].kind != TokenKind::kWord) {
        return ParseError{"Unexpected token in expression or statement."};
      }
      CommandCall call{tokens[i].text, {}};
      ++i;
      while (tokens[i].kind != TokenKind::kPipe && tokens[i].kind != TokenKind::kEnd) {
        const Token& token = tokens[i];
        if (token.kind == TokenKind::kRedirect || token.kind == TokenKind::kAppend) {
          if (!IsValue(tokens[i + 1])) {
            return ParseError{"Missing file name after redirection operator."};
          }
          if (statement.output_file) {
            return ParseError{"The output stream for this command is already redirected."};
          }
          statement.output_file = tokens[i + 1].text;
          statement.append = token.kind == TokenKind::kAppend;
          i += 2;
        } else if (IsParameterWord(token)) {
          call.arguments.push_back({token.text.substr(1), {}});
          ++i;
        } else if (IsValue(token)) {
          Argument argument;
          argument.values.push_back(token.text);
          ++i;
          while (tokens[i].kind == TokenKind::kComma) {
            if (!IsValue(tokens[i + 1])) return ParseError{"Missing argument in parameter list."};
            argument.values.push_back(tokens[i + 1].text);
            i += 2;
          }
          call.arguments.push_back(std::move(argument));
        } else {
          return ParseError{"Missing argument in parameter list."};
        }
      }
      statement.pipeline.push_back(std::move(call));
      if (tokens[i].kind == TokenKind::kEnd) break;
      ++i;  // the pipe
    }
    statements.push_back(std::move(statement));
  }
  return statements;
}

}  // namespace corvane::powershell
