#include "platform/system/message_box.h"

#include <cstdio>

namespace corvane::platform {

MessageBoxFunction StderrMessageBox() {
  return [](const MessageBoxRequest& request) {
    std::fprintf(stderr, "%s: %s\n", request.title.c_str(), request.text.c_str());
    std::fflush(stderr);
  };
}

}  // namespace corvane::platform
