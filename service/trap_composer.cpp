#include "service/trap_composer.h"

#include <chrono>
#include <exception>
#include <stdexcept>

namespace corvane::service {
namespace {

constexpr std::string_view kEventObjects = "1.3.6.1.4.1.7365.1.17.1.1.";
constexpr std::string_view kInfoObjects = "1.3.6.1.4.1.7365.2.1.1.";
constexpr int kGenericEnterpriseSpecific = 6;
constexpr int kErrorsBeforeTrapsOff = 5;

TrapVariable Var(std::string_view prefix, int index, int type_code, std::string value) {
  return {std::string(prefix) + std::to_string(index), type_code, std::move(value)};
}

platform::SnmpAgent& AgentOf(const ServiceContext& ctx) {
  if (ctx.snmp_agent == nullptr) throw std::runtime_error("The SNMP agent is not available");
  return *ctx.snmp_agent;
}

}  // namespace

std::string NumericValue(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  while (i + 1 < text.size() && text[i] == '0' && text[i + 1] >= '0' && text[i + 1] <= '9') ++i;
  std::string digits;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') digits += text[i++];
  if (digits.empty() || digits == "0") return "0";
  return negative ? "-" + digits : digits;
}

std::string FirstCharacters(std::string_view text, size_t limit) {
  size_t characters = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    // A character starts at every byte that is not a UTF-8 continuation byte.
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && characters++ == limit) {
      return std::string(text.substr(0, i));
    }
  }
  return std::string(text);
}

int64_t TrapTimeStamp(platform::TimePoint start, platform::TimePoint now) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now - start).count();
  // A clock set back before the start would give a negative time-stamp,
  // which a TimeTicks value cannot carry.
  if (seconds <= 0) return 0;
  if (seconds > kMaxTimeStamp / 100) return kMaxTimeStamp;
  return seconds * 100;
}

std::vector<TrapVariable> EventTrapVariables(const EventRecord& event, int16_t rule_number) {
  using platform::kSnmpTypeInteger, platform::kSnmpTypeOctetString;
  const std::string_view level = event.Level;
  return {
      Var(kEventObjects, 1, kSnmpTypeInteger, NumericValue(event.RecordId)),
      Var(kEventObjects, 2, kSnmpTypeOctetString, event.TimeCreated),
      Var(kEventObjects, 3, kSnmpTypeOctetString, event.LogName),
      Var(kEventObjects, 4, kSnmpTypeInteger, NumericValue(level.substr(0, 1))),
      Var(kEventObjects, 5, kSnmpTypeOctetString, event.Source),
      Var(kEventObjects, 6, kSnmpTypeOctetString, event.Category),
      Var(kEventObjects, 7, kSnmpTypeInteger, NumericValue(event.EventID)),
      Var(kEventObjects, 8, kSnmpTypeOctetString, event.UserName),
      Var(kEventObjects, 9, kSnmpTypeOctetString, event.MachineName),
      Var(kEventObjects, 10, kSnmpTypeOctetString, event.Message),
      Var(kEventObjects, 11, kSnmpTypeInteger, std::to_string(rule_number)),
  };
}

std::vector<TrapVariable> InfoTrapVariables(std::string_view source_ip_addr, std::string_view module,
                                            std::string_view procedure, std::string_view text,
                                            EntryType type) {
  using platform::kSnmpTypeInteger, platform::kSnmpTypeOctetString;
  return {
      Var(kInfoObjects, 1, kSnmpTypeOctetString, std::string(source_ip_addr)),
      Var(kInfoObjects, 2, kSnmpTypeOctetString, "Corvane"),
      Var(kInfoObjects, 3, kSnmpTypeOctetString, std::string(module)),
      Var(kInfoObjects, 4, kSnmpTypeOctetString, std::string(procedure)),
      Var(kInfoObjects, 5, kSnmpTypeOctetString, FirstCharacters(text, kInfoTextLimit)),
      Var(kInfoObjects, 6, kSnmpTypeInteger, std::to_string(static_cast<int>(type))),
  };
}

void ComposeAndSend(platform::SnmpAgent& agent, const GeneralSettings& settings, std::string_view enterprise,
                    int64_t time_stamp, const std::vector<TrapVariable>& variables) {
  agent.Endpoint().Close();
  agent.Endpoint().SetDestination(settings.NmsIpAddr + ":" + std::to_string(settings.NmsPort), 0);
  platform::SnmpTrapMessage& message = agent.Message();
  message.Clear();
  message.SetCommunity(kTrapCommunity);
  message.SetMessageType(platform::kSnmpTrapMessageType);
  message.SetEnterprise(enterprise);
  message.SetGenericTrap(kGenericEnterpriseSpecific);
  message.SetSpecificTrap(kTrapSpecific);
  message.SetTimeStamp(time_stamp);
  message.SetAgentAddress(settings.SourceIpAddr);
  for (const TrapVariable& variable : variables) {
    platform::SnmpVariable object;
    object.SetObjectId(variable.oid);
    object.SetTypeCode(variable.type_code);
    object.SetValue(variable.value);
    message.AppendVariable(object);
  }
  agent.Send();
}

void SendTrap(ServiceContext& ctx, const EventRecord& event, int16_t rule_number) {
  const ServiceState& state = ctx.state;
  if (!state.TrapsAllowed) return;
  try {
    ComposeAndSend(AgentOf(ctx), state.settings, kEventTrapEnterprise,
                   TrapTimeStamp(state.ServiceStartTime, ctx.clock.Now()),
                   EventTrapVariables(event, rule_number));
    ctx.PauseWithEvents(500);
  } catch (const std::exception& failure) {
    ctx.WriteAppEvent("modCorvaneSrv", "SendTrap", failure.what(), EntryType::kError);
  }
}

void SendInfoTrap(ServiceContext& ctx, std::string_view module, std::string_view procedure,
                  std::string_view text, EntryType type) {
  const ServiceState& state = ctx.state;
  if (!state.TrapsAllowed) return;
  ComposeAndSend(AgentOf(ctx), state.settings, kInfoTrapEnterprise,
                 TrapTimeStamp(state.ServiceStartTime, ctx.clock.Now()),
                 InfoTrapVariables(state.settings.SourceIpAddr, module, procedure, text, type));
}

void snmpAgent_Error(ServiceContext& ctx, int number, std::string_view description) {
  constexpr std::string_view kForm = "frmCorvaneSrv";
  constexpr std::string_view kProcedure = "snmpAgent_Error";
  ServiceState& state = ctx.state;
  if (state.TrapsAllowed) {
    ++state.AgentErrorCount;
    if (state.AgentErrorCount > kErrorsBeforeTrapsOff) {
      state.TrapsAllowed = false;
      ctx.WriteAppEvent(kForm, kProcedure, "This may depend on 'Trap receiver does not exist'",
                        EntryType::kWarning);
      ctx.WriteAppEvent(kForm, kProcedure, "The Snmp Agent will NOT try to send any more traps.",
                        EntryType::kWarning);
    }
  }
  ctx.WriteAppEvent(kForm, kProcedure, "Error " + std::to_string(number) + ": " + std::string(description),
                    EntryType::kError);
}

}  // namespace corvane::service
