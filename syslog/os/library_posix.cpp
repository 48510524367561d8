#include <dlfcn.h>

#include "syslog/os/library.h"

namespace ostrel::os {

std::filesystem::path OwnLibraryPath() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&OwnLibraryPath), &info) == 0 || !info.dli_fname) return {};
  std::error_code error;
  auto path = std::filesystem::canonical(info.dli_fname, error);
  return error ? std::filesystem::path(info.dli_fname) : path;
}

void* LoadLibrarySymbol(const std::filesystem::path& library, const char* symbol,
                        std::string* error) {
  void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    if (error) *error = ::dlerror();
    return nullptr;
  }
  void* address = ::dlsym(handle, symbol);
  if (!address && error)
    *error = "no entry point " + std::string(symbol) + " in " + library.string();
  return address;
}

}  // namespace ostrel::os
