#include "platform/system/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace corvane::platform {

std::unique_ptr<SingleInstanceLock> SingleInstanceLock::TryAcquire(const std::filesystem::path& lock_file) {
  const int fd = ::open(lock_file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<SingleInstanceLock>(new SingleInstanceLock(fd));
}

SingleInstanceLock::~SingleInstanceLock() { ::close(fd_); }

}  // namespace corvane::platform
