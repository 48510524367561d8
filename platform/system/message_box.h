#pragma once
// Message boxes go through one injectable function: the console shows them,
// tests answer them, and the service, which has no desktop, writes them to
// standard error.

#include <functional>
#include <string>

namespace corvane::platform {

enum class MessageIcon { kNone, kInformation, kWarning, kStop };

struct MessageBoxRequest {
  std::string text;
  std::string title;
  MessageIcon icon = MessageIcon::kNone;
};

using MessageBoxFunction = std::function<void(const MessageBoxRequest&)>;

// Writes "title: text" to standard error.
MessageBoxFunction StderrMessageBox();

}  // namespace corvane::platform
