#pragma once
// The service's process-wide state, alive for the life of the process. Every
// procedure of the service reads and writes it through the ServiceContext;
// there is one thread, so nothing here is locked.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "common/database/settings.h"
#include "platform/clock/clock.h"
#include "service/sent_key_list.h"

namespace corvane::service {

inline constexpr int kMaxLogSlots = 25;

struct LogSlot {
  std::string Log;  // empty marks a free slot
  int32_t LastRecordId = 0;
  platform::TimePoint LastEventTime{};
};

struct ServiceState {
  std::filesystem::path AppFolder;
  // Empty until the first start notification; marks that start-up ran.
  std::string DbConnectString;
  std::string PolicyCommand;
  GeneralSettings settings;
  bool TrapsAllowed = false;
  int32_t AgentErrorCount = 0;
  platform::TimePoint ServiceStartTime{};
  int16_t StoredHour = 0;
  bool FirstCycle = true;
  int32_t SecondsToNextPoll = 0;
  std::array<LogSlot, kMaxLogSlots> log_slots;
  // The day's keys of sent events, for duplicate dropping.
  corvane::service::SentKeyList SentKeyList;
  // Set while a poll runs: a tick handled inside one of its pauses only
  // counts down and never starts a second poll.
  bool poll_running = false;
};

}  // namespace corvane::service
