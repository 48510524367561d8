#include "platform/system/user.h"

#include <unistd.h>

namespace corvane::platform {

bool IsUserAnAdmin() { return ::geteuid() == 0; }

}  // namespace corvane::platform
