#pragma once
// The service's two SNMP version 1 traps under enterprise 7365: the event
// trap of an entry a filter rule caught, and the information trap of every
// application-log entry; and the reaction to the agent's error
// notifications, which turns traps off for good after the sixth.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/database/settings.h"
#include "common/events/event_record.h"
#include "platform/clock/clock.h"
#include "platform/snmp/snmp_agent.h"
#include "service/service_context.h"

namespace corvane::service {

inline constexpr std::string_view kTrapCommunity = "tamber";
inline constexpr std::string_view kEventTrapEnterprise = "1.3.6.1.4.1.7365.1.17.2";
inline constexpr std::string_view kInfoTrapEnterprise = "1.3.6.1.4.1.7365.2.1.2";
inline constexpr int kTrapSpecific = 1;
inline constexpr size_t kInfoTextLimit = 240;
inline constexpr int32_t kMaxTimeStamp = 2147483647;

struct TrapVariable {
  std::string oid;
  int type_code;  // platform::SnmpTypeCode
  std::string value;
};

// The value of the leading number of `text` (blanks before it skipped, an
// optional sign) as decimal text; "0" when the text does not begin with one.
std::string NumericValue(std::string_view text);
// The first `limit` characters of UTF-8 text, never splitting a character.
std::string FirstCharacters(std::string_view text, size_t limit);
// Hundredths of a second since `start`, counted in whole seconds, capped at
// kMaxTimeStamp; 0 when the clock stands before the start.
int64_t TrapTimeStamp(platform::TimePoint start, platform::TimePoint now);

std::vector<TrapVariable> EventTrapVariables(const EventRecord& event, int16_t rule_number);
std::vector<TrapVariable> InfoTrapVariables(std::string_view source_ip_addr, std::string_view module,
                                            std::string_view procedure, std::string_view text,
                                            EntryType type);

// Prepares one trap on the agent in the agent's call order and sends it.
// Throws the agent's SnmpError; no pause, no check of TrapsAllowed.
void ComposeAndSend(platform::SnmpAgent& agent, const GeneralSettings& settings, std::string_view enterprise,
                    int64_t time_stamp, const std::vector<TrapVariable>& variables);

// The event trap for an entry caught by rule `rule_number` (1 to 25), then
// the 500 ms pause. Catches its own failures as "modCorvaneSrv_SendTrap"
// error entries.
void SendTrap(ServiceContext& ctx, const EventRecord& event, int16_t rule_number);

// The information trap of one application-log entry, sent by WriteAppEvent
// after the entry is written; nothing while traps are not allowed. Throws on
// failure: WriteAppEvent ends silently.
void SendInfoTrap(ServiceContext& ctx, std::string_view module, std::string_view procedure,
                  std::string_view text, EntryType type);

// The agent's error notification: counts it while traps are allowed, turns
// traps off after the sixth with two warnings, and records the error.
void snmpAgent_Error(ServiceContext& ctx, int number, std::string_view description);

}  // namespace corvane::service
