#pragma once
// The service's event reader: the ini file that supplies the policy line,
// the PowerShell runner, the reading of one log into the event file and the
// first-cycle index that sets the log slots from it. Each procedure catches
// its own failures and writes them as error entries of "modCorvaneSrv".

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "service/service_context.h"

namespace corvane::service {

// <AppFolder>/Debug/s-logevent.txt
std::filesystem::path EventFilePath(const ServiceState& state);
// <AppFolder>/temp/s-logwinevent.tmp, in the folder only root can enter.
std::filesystem::path PshTempFilePath(const ServiceState& state);

// Sets PolicyCommand from <AppFolder>/Corvane.ini, the default without one.
void Read_ini(ServiceContext& ctx);

// Runs PowerShell with the command; true when it ran and ended within 20
// seconds. A late one is killed and reaped before this returns false.
bool PshRunCmd(ServiceContext& ctx, std::string_view command);

// Reads the newest `max_events` entries of `log` and appends them to the
// event file, one line each.
void GetEventLogPsh(ServiceContext& ctx, std::string_view log, int32_t max_events);

// Sets LastRecordId and LastEventTime of every slot from its log's lines in
// the event file (the last line of a log wins).
void GetEventIndex(ServiceContext& ctx);

}  // namespace corvane::service
