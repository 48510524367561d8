#include "service/sent_key_list.h"

namespace corvane::service {
namespace {

bool StartsCharacter(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) != 0x80; }

size_t CountCharacters(std::string_view text) {
  size_t n = 0;
  for (char byte : text) n += StartsCharacter(byte) ? 1 : 0;
  return n;
}

// Byte offset of the character with index `index`, or the size at the end.
size_t OffsetOfCharacter(std::string_view text, size_t index) {
  size_t seen = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (!StartsCharacter(text[i])) continue;
    if (seen == index) return i;
    ++seen;
  }
  return text.size();
}

std::string_view MessagePart(std::string_view message, std::string_view mode) {
  const size_t n = CountCharacters(message);
  const auto first = [&](size_t k) { return message.substr(0, OffsetOfCharacter(message, k)); };
  const auto last = [&](size_t k) { return message.substr(OffsetOfCharacter(message, n - k)); };
  if (mode == "First 25% Equal") return first(n / 4);
  if (mode == "First Half Equal") return first(n / 2);
  if (mode == "Last Half Equal") return last(n / 2);
  if (mode == "Last 25% Equal") return last(n / 4);
  return message;
}

}  // namespace

std::string DuplicateKey(const EventRecord& event, std::string_view drop_dup_mess) {
  std::string key;
  for (const std::string* field : {&event.LogName, &event.Level, &event.Source, &event.Category,
                                   &event.EventID, &event.UserName, &event.MachineName}) {
    key += *field;
    key += '_';
  }
  key += MessagePart(event.Message, drop_dup_mess);
  return key;
}

bool SentKeyList::IsSent(std::string_view key) const { return keys_.find(std::string(key)) != keys_.end(); }

bool SentKeyList::Remember(std::string_view key) {
  if (count_ >= kCapacity) return false;
  keys_.emplace(key);
  ++count_;
  return true;
}

void SentKeyList::Reset() {
  keys_.clear();
  count_ = 0;
  full_warned_ = false;
}

bool SentKeyList::TakeFullWarning() {
  if (count_ < kCapacity || full_warned_) return false;
  full_warned_ = true;
  return true;
}

}  // namespace corvane::service
