#pragma once
// The line rules of "Corvane.ini": which line, if any, replaces the policy
// line put in front of every PowerShell command.

#include <string>
#include <string_view>

namespace corvane::events {

// Applies the ini file's text to `policy_command`: lines shorter than 4
// characters, comments (";") and section headers ("[") are skipped; a line
// whose first 19 characters are "Set-ExecutionPolicy" replaces the policy with
// the line trimmed of spaces, the last such line winning; every other line is
// ignored.
std::string ApplyIniText(std::string_view ini_text, std::string policy_command);

}  // namespace corvane::events
