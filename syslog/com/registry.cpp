#include "syslog/com/registry.h"

#include <fstream>
#include <system_error>

namespace ostrel {

std::optional<RegistryEntries> ReadRegistry(const std::filesystem::path& file) {
  RegistryEntries entries;
  std::error_code error;
  if (!std::filesystem::exists(file, error)) return entries;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t equals = line.find('=');
    if (equals == std::string::npos) {
      if (!line.empty()) entries.emplace_back(line, std::string());
      continue;
    }
    entries.emplace_back(line.substr(0, equals), line.substr(equals + 1));
  }
  return entries;
}

namespace {

bool WriteAll(const std::filesystem::path& file, const RegistryEntries& entries) {
  // Written beside the old file and renamed over it, so a reader never sees
  // half a registry.
  const std::filesystem::path temporary = file.string() + ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    for (const auto& [key, value] : entries) out << key << '=' << value << "\r\n";
    out.flush();
    if (!out) return false;
  }
  std::error_code error;
  std::filesystem::rename(temporary, file, error);
  if (error) std::filesystem::remove(temporary, error);
  return !error;
}

}  // namespace

bool WriteRegistryKeys(const std::filesystem::path& file, const RegistryEntries& keys) {
  auto entries = ReadRegistry(file);
  if (!entries) return false;
  for (const auto& [key, value] : keys) {
    bool replaced = false;
    for (auto& entry : *entries) {
      if (entry.first == key) {
        entry.second = value;
        replaced = true;
      }
    }
    if (!replaced) entries->emplace_back(key, value);
  }
  return WriteAll(file, *entries);
}

bool RemoveRegistryKeys(const std::filesystem::path& file,
                        const std::vector<std::string>& prefixes) {
  auto entries = ReadRegistry(file);
  if (!entries) return false;
  std::erase_if(*entries, [&](const auto& entry) {
    for (const auto& prefix : prefixes) {
      if (entry.first.compare(0, prefix.size(), prefix) == 0) return true;
    }
    return false;
  });
  return WriteAll(file, *entries);
}

std::optional<std::string> RegistryValue(const RegistryEntries& entries, const std::string& key) {
  for (const auto& [name, value] : entries) {
    if (name == key) return value;
  }
  return std::nullopt;
}

std::optional<ClassRegistration> LookUpProgId(const std::filesystem::path& file,
                                              const std::string& prog_id) {
  const auto entries = ReadRegistry(file);
  if (!entries) return std::nullopt;
  std::string name = prog_id;
  if (auto current = RegistryValue(*entries, "HKCR\\" + name + "\\CurVer")) name = *current;
  const auto clsid_text = RegistryValue(*entries, "HKCR\\" + name + "\\CLSID");
  ClassRegistration registration;
  if (!clsid_text || !GuidFromString(*clsid_text, &registration.clsid)) return std::nullopt;
  const auto library = RegistryValue(*entries, "HKCR\\CLSID\\" + *clsid_text + "\\InprocServer32");
  if (!library) return std::nullopt;
  registration.library = *library;
  return registration;
}

}  // namespace ostrel
