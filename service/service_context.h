#pragma once
// What every procedure of the service works with: the process-wide state, the
// clock, and the application log. The form (frm_corvane_srv.h) owns one and
// the hosted components; procedures in their own files take it by reference,
// so each can be tested with a context of its own on a simulated clock.

#include <cstdint>
#include <functional>
#include <string_view>

#include "platform/clock/clock.h"
#include "service/service_state.h"

namespace corvane::platform {
class SnmpAgent;
}

namespace corvane::service {

enum class EntryType : int16_t { kError = 1, kWarning = 2, kInformation = 3 };

struct ServiceContext {
  explicit ServiceContext(platform::Clock& c) : clock(c) {}

  platform::Clock& clock;
  ServiceState state;
  // The form's SNMP agent, which the trap composer sends through; none in
  // tests of procedures that send no traps.
  platform::SnmpAgent* snmp_agent = nullptr;

  // The application log writer; the form installs its WriteAppEvent here.
  // Until then (in tests of single procedures) entries are only collected
  // by whatever the test installs.
  std::function<void(std::string_view module, std::string_view procedure, std::string_view text,
                     EntryType type)>
      write_app_event;

  void WriteAppEvent(std::string_view module, std::string_view procedure, std::string_view text,
                     EntryType type) const {
    if (write_app_event) write_app_event(module, procedure, text, type);
  }
  // The service's pause: 10 ms slices, processing events after each.
  void PauseWithEvents(int16_t ms) const {
    platform::PauseWithEvents(clock, platform::Duration(ms), platform::Duration(10));
  }
};

}  // namespace corvane::service
