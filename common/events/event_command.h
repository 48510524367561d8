#pragma once
// The PowerShell command lines both programs send: the policy line, then one
// pipeline whose list-format output is redirected into a temporary file.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace corvane::events {

inline constexpr std::string_view kDefaultPolicyCommand = "Set-ExecutionPolicy Unrestricted -force";

// A PowerShell single-quoted string literal: a quote inside (also the
// typographic single quotes PowerShell accepts) is doubled, so no text can
// end the string early.
std::string QuotePowerShellString(std::string_view text);

// `get-winevent` for the newest `max_events` entries of `log`, sorted by
// record id, in list format, redirected to `output`.
std::string BuildEventCommand(std::string_view policy_command, std::string_view log, int32_t max_events,
                              const std::filesystem::path& output);

// `get-winevent -listlog *` with each log's name and record count.
std::string BuildListLogCommand(std::string_view policy_command, const std::filesystem::path& output);

}  // namespace corvane::events
