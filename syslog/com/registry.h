#pragma once
// The registry of programmatic identifiers: a plain text file beside the
// library, one "key=value" line each. Registration adds or replaces the
// library's keys, unregistration removes them; other lines stay as they were.

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "syslog/com/com.h"

namespace ostrel {

inline constexpr char kRegistryFileName[] = "registry.txt";

using RegistryEntries = std::vector<std::pair<std::string, std::string>>;

// Reads every entry; an absent file is an empty registry.
std::optional<RegistryEntries> ReadRegistry(const std::filesystem::path& file);
// Sets each given key (replacing its old value), keeping every other line.
bool WriteRegistryKeys(const std::filesystem::path& file, const RegistryEntries& keys);
// Removes every key that begins with one of `prefixes`.
bool RemoveRegistryKeys(const std::filesystem::path& file,
                        const std::vector<std::string>& prefixes);
std::optional<std::string> RegistryValue(const RegistryEntries& entries, const std::string& key);

// What creation by programmatic identifier needs: the class and its library.
struct ClassRegistration {
  Guid clsid{};
  std::filesystem::path library;
};
// Follows a version-independent identifier to its current version.
std::optional<ClassRegistration> LookUpProgId(const std::filesystem::path& file,
                                              const std::string& prog_id);

}  // namespace ostrel
