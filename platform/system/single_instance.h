#pragma once
// One running instance of a program: an advisory lock (flock) on a lock file.
// The lock lasts as long as the object, and the system drops it when the
// process dies, so a crash leaves no stale lock behind.

#include <filesystem>
#include <memory>

namespace corvane::platform {

class SingleInstanceLock {
 public:
  // Nothing when another process holds the lock, or the file cannot be opened.
  static std::unique_ptr<SingleInstanceLock> TryAcquire(const std::filesystem::path& lock_file);
  ~SingleInstanceLock();
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

 private:
  explicit SingleInstanceLock(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace corvane::platform
