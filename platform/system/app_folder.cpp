#include "platform/system/app_folder.h"

namespace corvane::platform {

std::filesystem::path ProgramFolder() {
  std::error_code error;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return std::filesystem::current_path();
  return exe.parent_path();
}

}  // namespace corvane::platform
