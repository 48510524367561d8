#pragma once
// Shared-library facilities: where this code's own library lives, and
// loading a library to find an entry point by name.

#include <filesystem>
#include <string>

namespace ostrel::os {

// The file of the library (or program) holding this function.
std::filesystem::path OwnLibraryPath();
// Loads `library` (kept loaded for the process's life) and finds `symbol`;
// null when either fails, with the reason in `error`.
void* LoadLibrarySymbol(const std::filesystem::path& library, const char* symbol,
                        std::string* error);

}  // namespace ostrel::os
