#pragma once
// The administrator test: on Linux the effective user id is 0.

namespace corvane::platform {

bool IsUserAnAdmin();

}  // namespace corvane::platform
