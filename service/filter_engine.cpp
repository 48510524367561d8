#include "service/filter_engine.h"

#include <array>
#include <cmath>
#include <filesystem>
#include <limits>
#include <stdexcept>
#include <vector>

#include "common/database/config_tables.h"
#include "common/wildcard/wildcard.h"
#include "platform/clock/date_time.h"
#include "platform/system/text_file.h"
#include "service/diagnostics.h"
#include "service/sent_key_list.h"

namespace corvane::service {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kModule = "modCorvaneSrv";
constexpr std::string_view kProcedure = "FilterTest";

// A rule of this pass with what the pass learns about it.
struct PassRule {
  FilterRule rule;
  int32_t StartId = 0;
  int32_t LastSeenId = 0;
  platform::TimePoint LastSeenTime{};
  bool seen = false;  // an event of the rule's log reached it in this pass
};

std::string_view FirstCharacter(std::string_view text) {
  if (text.empty()) return text;
  size_t length = 1;
  while (length < text.size() && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
    ++length;
  }
  return text.substr(0, length);
}

bool PassesSeverity(const FilterRule& rule, const EventRecord& event) {
  const std::string_view e = FirstCharacter(event.Level);
  const std::string_view s = FirstCharacter(rule.Severity);
  if (rule.SeverityExp == "<=") return e <= s;
  if (rule.SeverityExp == "=") return e == s;
  if (rule.SeverityExp == ">=") return e >= s;
  return false;
}

class Pass {
 public:
  Pass(ServiceContext& context, const FilterSenders& senders)
      : context_(context), senders_(senders), settings_(context.state.settings) {}

  void Run() {
    ServiceState& state = context_.state;
    const fs::path debug = DebugFolder(context_);
    const bool test_switch = fs::exists(debug / "use-c-logevent.txt");
    LoadRules(test_switch);

    const fs::path event_file = debug / "s-logevent.txt";
    if (!fs::exists(event_file)) return;
    const std::vector<std::string> lines =
        platform::ReadTextLines(test_switch ? debug / "c-logevent.txt" : event_file);
    for (size_t i = 1; i < lines.size(); ++i) {
      if (auto event = SplitEventLine(lines[i])) Filter(*event);
    }

    for (LogSlot& slot : state.log_slots) {
      if (slot.Log.empty()) continue;
      for (const PassRule& r : rules_) {
        if (r.rule.Log != slot.Log) continue;
        // A log that gave no event this pass (unreadable, empty, not read)
        // keeps what the slot knew, so it is neither read again from the
        // start nor taken for a silent log.
        if (r.seen) {
          slot.LastRecordId = r.LastSeenId;
          slot.LastEventTime = r.LastSeenTime;
        }
        break;
      }
    }
  }

 private:
  void LoadRules(bool test_switch) {
    std::vector<FilterRule> rules = ReadEnabledFilterRules(context_.state.DbConnectString);
    if (rules.size() > kMaxFilterRules) {
      throw std::runtime_error("Subscript out of range: more than " + std::to_string(kMaxFilterRules) +
                               " enabled filter rules");
    }
    for (FilterRule& rule : rules) {
      PassRule r{std::move(rule)};
      if (!test_switch) {
        for (const LogSlot& slot : context_.state.log_slots) {
          if (slot.Log == r.rule.Log && !slot.Log.empty()) {
            r.StartId = slot.LastRecordId;
            break;
          }
        }
      }
      rules_.push_back(std::move(r));
    }
  }

  // One pair of patterns; a pattern that cannot be read is recorded and the
  // pair counts as matched, as the compare leaves its flag alone.
  bool PairMatches(std::string_view value1, std::string_view pattern1, std::string_view value2,
                   std::string_view pattern2) {
    bool result = true;
    try {
      if (settings_.CaseSensitive) {
        StringCompareBin(value1, pattern1, value2, pattern2, result);
      } else {
        StringCompareText(value1, pattern1, value2, pattern2, result);
      }
    } catch (const WildcardPatternError& e) {
      if (settings_.CaseSensitive) {
        context_.WriteAppEvent("modCompareBinSrv", "StringCompareBin", e.what(), EntryType::kError);
      } else {
        context_.WriteAppEvent("modCompareTextSrv", "StringCompareText", e.what(), EntryType::kError);
      }
    }
    return result;
  }

  void Filter(const EventRecord& event) {
    std::optional<int32_t> id;
    std::optional<platform::TimePoint> time;
    for (size_t r = 0; r < rules_.size(); ++r) {
      PassRule& rule = rules_[r];
      if (rule.rule.Log != event.LogName) continue;
      if (!id) {
        id = RecordIdValue(event.RecordId);
        time = platform::ParseDateTime(event.TimeCreated);
        if (!time) throw std::runtime_error("Type mismatch (TimeCreated '" + event.TimeCreated + "')");
      }
      rule.LastSeenId = *id;
      rule.LastSeenTime = *time;
      rule.seen = true;
      if (*id <= rule.StartId) continue;
      if (!PassesSeverity(rule.rule, event)) continue;
      const FilterRule& f = rule.rule;
      if (!PairMatches(event.Source, f.Source, event.Category, f.Category)) continue;
      if (!PairMatches(event.EventID, f.EventID, event.UserName, f.UserName)) continue;
      if (!PairMatches(event.MachineName, f.Computer, event.Message, f.Message)) continue;
      Act(event, static_cast<int16_t>(r + 1), f.Action);
      return;
    }
  }

  void Act(const EventRecord& event, int16_t rule, const std::string& action) {
    const bool trap = action == "Send Trap" || action == "Send Trap+Syslog";
    const bool syslog = action == "Send Syslog" || action == "Send Trap+Syslog";
    if (!trap && !syslog) return;  // "None" and any other text: consumed

    std::string key;
    if (settings_.DropDuplicate) {
      key = DuplicateKey(event, settings_.DropDupMess);
      if (context_.state.SentKeyList.IsSent(key)) return;
    }
    if (trap && TrapsThisPass < settings_.SendMaxTraps) {
      ++TrapsThisPass;
      if (senders_.SendTrap) senders_.SendTrap(event, rule);
      AppendTrapReport(context_, event, rule);
      Remember(key);
    } else if (!syslog) {
      return;  // beyond the cap: dropped for good
    }
    if (syslog) {
      if (senders_.SendSyslog) senders_.SendSyslog(event.Level, event.Source, event.Message);
      AppendSyslogReport(context_, event, rule);
      Remember(key);
    }
  }

  void Remember(const std::string& key) {
    if (!settings_.DropDuplicate) return;
    SentKeyList& list = context_.state.SentKeyList;
    // A full list must not fail the pass: the pass would then hand nothing
    // over and send the same events again at every poll of the day.
    if (!list.Remember(key) && list.TakeFullWarning()) {
      context_.WriteAppEvent(kModule, kProcedure,
                             "The list of events sent today is full (" +
                                 std::to_string(SentKeyList::kCapacity) +
                                 " entries); until midnight further events are sent without "
                                 "being remembered for duplicate dropping",
                             EntryType::kWarning);
    }
  }

  ServiceContext& context_;
  const FilterSenders& senders_;
  const GeneralSettings& settings_;
  std::vector<PassRule> rules_;
  int16_t TrapsThisPass = 0;
};

}  // namespace

std::optional<EventRecord> SplitEventLine(std::string_view line) {
  std::array<std::string_view, 10> fields;
  size_t start = 0;
  for (size_t k = 0; k < 9; ++k) {
    const size_t tab = line.find('\t', start);
    if (tab == std::string_view::npos) return std::nullopt;
    fields[k] = line.substr(start, tab - start);
    start = tab + 1;
  }
  fields[9] = line.substr(start);
  EventRecord e;
  e.LogName = fields[0];
  e.RecordId = fields[1];
  e.TimeCreated = fields[2];
  e.Level = fields[3];
  e.Source = fields[4];
  e.Category = fields[5];
  e.EventID = fields[6];
  e.UserName = fields[7];
  e.MachineName = fields[8];
  e.Message = fields[9];
  return e;
}

int32_t RecordIdValue(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  double sign = 1;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) sign = text[i++] == '-' ? -1 : 1;
  double value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10 + (text[i] - '0');
  if (i < text.size() && text[i] == '.') {
    double scale = 0.1;
    for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, scale /= 10) {
      value += (text[i] - '0') * scale;
    }
  }
  // Halves go to the even neighbour, as the conversion to a whole number does.
  const double rounded = std::nearbyint(sign * value);
  if (rounded < std::numeric_limits<int32_t>::min() || rounded > std::numeric_limits<int32_t>::max()) {
    throw std::runtime_error("Overflow (RecordId '" + std::string(text) + "')");
  }
  return static_cast<int32_t>(rounded);
}

void FilterTest(ServiceContext& context, const FilterSenders& senders) {
  try {
    Pass(context, senders).Run();
  } catch (const std::exception& e) {
    context.WriteAppEvent(kModule, kProcedure, e.what(), EntryType::kError);
  }
}

}  // namespace corvane::service
