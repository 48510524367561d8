#include "syslog/com/error_info.h"

#include <atomic>

#include "syslog/com/module.h"

namespace ostrel {
namespace {

thread_local bool error_info_set = false;
thread_local ErrorInfo thread_error_info;
}  // namespace

void SetThreadErrorInfo(ErrorInfo info) {
  thread_error_info = std::move(info);
  error_info_set = true;
}

void ClearThreadErrorInfo() {
  error_info_set = false;
  thread_error_info = {};
}

Status TakeThreadErrorInfo(ErrorInfo* info) {
  if (!info) return kPointer;
  if (!error_info_set) {
    *info = {};
    return kFalse;
  }
  *info = std::move(thread_error_info);
  ClearThreadErrorInfo();
  return kOk;
}

namespace {
std::atomic<int> module_locks{0};
}  // namespace

void LockModule() { ++module_locks; }
void UnlockModule() { --module_locks; }
bool ModuleInUse() { return module_locks.load() > 0; }

}  // namespace ostrel
