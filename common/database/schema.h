#pragma once
// The configuration database's layout, for the tools that make a new file
// and for tests: the current version, and the oldest one the console's
// upgrade starts from.

#include <filesystem>
#include <string_view>

namespace corvane {

inline constexpr std::string_view kCurrentSchemaVersion = "2.22";
inline constexpr std::string_view kOldestSchemaVersion = "1.10";

// Creates a database file in the layout of `version` ("2.22" or "1.10") with
// one Settings_General record of first values and the monitored logs
// "Application" and "System". Fails when the file exists already.
void CreateDatabase(const std::filesystem::path& file, std::string_view version);

}  // namespace corvane
