#pragma once
// The Windows error codes the service-manager stand-in answers with, and the
// exception that carries one through the service's error handling.

#include <stdexcept>
#include <string>

namespace corvane::platform {

enum ScmCode : int {
  kScmOk = 0,
  kErrorFileNotFound = 2,
  kErrorAccessDenied = 5,
  kErrorServiceRequestTimeout = 1053,
  kErrorServiceAlreadyRunning = 1056,
  kErrorServiceDoesNotExist = 1060,
  kErrorServiceNotActive = 1062,
  kErrorServiceExists = 1073,
  kErrorInvalidName = 123,
};

// The system's text for a code, as an administrator would see it.
std::string ScmErrorText(int code);

class ScmError : public std::runtime_error {
 public:
  explicit ScmError(int code) : std::runtime_error(ScmErrorText(code)), code_(code) {}
  int code() const { return code_; }

 private:
  int code_;
};

}  // namespace corvane::platform
