#pragma once
// The filter engine: once per poll it holds every new event of the event
// file against the enabled filter rules in table order, carries out the
// action of the first rule that catches it (trap, syslog message, both, or
// nothing), drops the day's duplicates, caps the traps of the pass at
// SendMaxTraps, and hands each log's newest record id and time back to the
// log slots.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "common/events/event_record.h"
#include "service/service_context.h"

namespace corvane::service {

inline constexpr int kMaxFilterRules = 25;

// Where the caught events go. The form connects SendTrap and SendSyslog;
// each handles its own failures.
struct FilterSenders {
  std::function<void(const EventRecord& event, int16_t rule)> SendTrap;
  std::function<void(const std::string& level, const std::string& source, const std::string& message)>
      SendSyslog;
};

// Reads the rules from the database and the event file (or the console's
// test event file while Debug/use-c-logevent.txt exists). Catches its own
// failures; a failed pass hands nothing over.
void FilterTest(ServiceContext& context, const FilterSenders& senders);

// The ten fields of an event-file line: nine TABs split it, and the message
// keeps any further TAB. Nothing for a line with fewer than nine TABs.
std::optional<EventRecord> SplitEventLine(std::string_view line);

// The numeric value of a record id text (its leading number, 0 when it has
// none), rounded to the nearest whole number; throws beyond 32 bits.
int32_t RecordIdValue(std::string_view text);

}  // namespace corvane::service
