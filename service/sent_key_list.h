#pragma once
// Duplicate suppression: the key that says when two events count as the
// same, and the day's list of keys of the events sent since the last daily
// reset or the service start.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

#include "common/events/event_record.h"

namespace corvane::service {

// LogName, Level, Source, Category, EventID, UserName, MachineName and the
// part of the message chosen by `drop_dup_mess` ("Whole String Equal",
// "First 25% Equal", "First Half Equal", "Last Half Equal", "Last 25% Equal"),
// joined by "_". Lengths count characters, not bytes. A mode outside that
// list compares the whole message.
std::string DuplicateKey(const EventRecord& event, std::string_view drop_dup_mess);

class SentKeyList {
 public:
  static constexpr int16_t kCapacity = 10000;

  bool IsSent(std::string_view key) const;
  // Counts one entry per call, also for a key already held. Returns false,
  // remembering nothing, when the day's entries are used up.
  [[nodiscard]] bool Remember(std::string_view key);
  void Reset();

  int16_t count() const { return count_; }
  // True the first time it is asked after the list ran full; the day's
  // warning about it is written once.
  bool TakeFullWarning();

 private:
  std::unordered_set<std::string> keys_;
  int16_t count_ = 0;
  bool full_warned_ = false;
};

}  // namespace corvane::service
